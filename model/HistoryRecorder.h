#pragma once

#include "model/CheckHistory.h"
#include "model/SqliteDb.h"

#include <optional>
#include <vector>

// A change to the history, as callers queue it.
struct HistoryOp {
    enum class Kind { Record, Forget, Rename };
    Kind kind = Kind::Record;
    LinkKey key;
    LinkKey target;       // Rename: the new key
    RecordedCheck check;  // Record
};

// Writes queued changes to a history file whose schema is ready. Runs on one thread, the writer's.
class HistoryRecorder {
public:
    explicit HistoryRecorder(SqliteDb& db);

    // All of them in one write transaction: every one is on disk when this returns, or none is.
    // Changes that cannot be stored faithfully (a page address longer than MaxStoredText, a check
    // with no valid time or verdict) are left out. Throws SqliteError.
    void apply(const std::vector<HistoryOp>& ops);

private:
    std::optional<qint64> findLink(const LinkKey& key);
    void record(const LinkKey& key, const RecordedCheck& check);
    void insertCheck(qint64 link, qint64 n, qint64 at, const RecordedCheck& check, HistoryChanges changes);
    void forget(const LinkKey& key);
    void rename(const LinkKey& from, const LinkKey& to);
    void deleteLink(qint64 id);

    SqliteDb& m_db;
    SqliteStatement m_findLink;
    SqliteStatement m_insertLink;
    SqliteStatement m_updateLink;
    SqliteStatement m_newestCheck;
    SqliteStatement m_previousCheck;
    SqliteStatement m_moveTexts;
    SqliteStatement m_insertCheck;
    SqliteStatement m_deleteChecks;
    SqliteStatement m_deleteLink;
    SqliteStatement m_renameLink;
};
