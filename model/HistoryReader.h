#pragma once

#include "model/CheckHistory.h"

#include <vector>

class SqliteDb;

// Reads of a history file whose schema is ready, each in one read transaction, so that what a
// writer commits meanwhile is seen whole or not at all. Values that cannot be a check (no valid
// time or verdict, a page address longer than MaxStoredText) are passed over. Throw SqliteError.

LatestChecks ReadLatestChecks(SqliteDb& db);

// At most `limit` checks of the link, newest first.
std::vector<HistoryEntry> ReadHistory(SqliteDb& db, const LinkKey& key, int limit);

HistorySummary ReadSummary(SqliteDb& db, const LinkKey& key);
