#pragma once

#include "model/RankedTree.h"
#include "model/Records.h"

// The rows of a links list: one record a node, in display order, each counted as visible and as
// selected. A row is visible when neither the website filter leaves it out (OutOfSite) nor the
// search (Unmatched). Dirty marks a row whose sort key changed since the list was last sorted.
// Only the first two are counted.
enum LinkRowFlag : unsigned { RowVisible, RowSelected, RowDirty, RowOutOfSite, RowUnmatched };
using LinkRows = RankedTree<LinkRecord, 2>;
inline constexpr unsigned AllRows = LinkRows::AllNodes;

// A node a link: the list's memory per link beyond its texts is budgeted, so keep this small.
static_assert(LinkRows::NodeBytes() <= 48);
