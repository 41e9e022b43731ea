#pragma once

#include "model/RankedTree.h"
#include "model/Records.h"

// The rows of a links list: one record a node, in display order, each counted as visible (the
// website filter lets it through) and as selected. Dirty marks a row whose sort key changed
// since the list was last sorted; nothing counts it.
enum LinkRowFlag : unsigned { RowVisible, RowSelected, RowDirty };
using LinkRows = RankedTree<LinkRecord, 2>;
inline constexpr unsigned AllRows = LinkRows::AllNodes;

// A node a link: the list's memory per link beyond its texts is budgeted, so keep this small.
static_assert(LinkRows::NodeBytes() <= 48);
