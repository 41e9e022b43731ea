#pragma once

#include "model/CheckHistory.h"
#include "model/HistoryCodec.h"
#include "model/HistoryRows.h"
#include "model/SqliteDb.h"

#include <optional>
#include <vector>

// A change to the history, as callers queue it.
struct HistoryOp {
    enum class Kind { Record, Forget, Rename };
    Kind kind = Kind::Record;
    LinkKey key;
    LinkKey target;                         // Rename: the new key
    RecordedCheck check;                    // Record
    std::optional<PreviousCheck> previous;  // Record: the link's latest check, as the caller read it
};

// Writes queued changes to a history file whose schema is ready. Runs on one thread, the writer's.
class HistoryRecorder {
public:
    // `sameFile`: the file is the one the `previous` checks of the ops were read from (not a new one
    // started after damage).
    explicit HistoryRecorder(SqliteDb& db, bool sameFile = true);

    // All of them in one write transaction: every one is on disk when this returns, or none is.
    // Changes that cannot be stored faithfully (a page address longer than MaxStoredText, a check
    // with no valid time or verdict) are left out. Throws SqliteError.
    void apply(const std::vector<HistoryOp>& ops);

private:
    // A link's row in `links`, as recording needs it.
    struct StoredLink {
        qint64 id = 0;
        qint64 newest = 0;  // the number of its newest check; 0 when the row does not say
        LinkStatus verdict = lsUnchecked;
        QByteArray details;
    };

    std::optional<StoredLink> storedLink(const LinkKey& key);
    std::optional<qint64> findLink(const LinkKey& key);
    qint64 newestCheck(qint64 link);
    // The number of the link's newest check numbered at most `limit`, if it has one.
    std::optional<qint64> newestAtMost(qint64 link, qint64 limit);
    void record(const HistoryOp& op);
    // Records the check after the one the caller read as the link's latest, without looking the link
    // up, when the link's row still holds that one as its latest. False, having written nothing,
    // when it does not: the row was written since it was read, or is another one now.
    bool recordAfter(const LinkKey& key, const RecordedCheck& check, const PreviousCheck& previous, qint64 at,
                     const QByteArray& encoded);
    // What changed from the link's newest check, numbered `newest`, to `check`.
    HistoryChanges changesSince(qint64 link, qint64 newest, LinkStatus verdict, const DetailsView& before,
                                const RecordedCheck& check);
    // Adds the check after the link's newest check, whose row already says it is the newest, and
    // moves into that one the texts the new check changes.
    void appendCheck(qint64 link, qint64 newest, const DetailsView& before, const DetailsView& latest, qint64 at,
                     const RecordedCheck& check, HistoryChanges changes);
    // Gives the number the check was stored under: `n`, or the next free one when a hand-edited row
    // numbered the newest check too low.
    qint64 insertCheck(qint64 link, qint64 n, qint64 at, const RecordedCheck& check, HistoryChanges changes);
    void forget(const LinkKey& key);
    void rename(const LinkKey& from, const LinkKey& to);
    void deleteLink(qint64 id);

    SqliteDb& m_db;
    const bool m_sameFile;
    SqliteStatement m_findLink;
    SqliteStatement m_insertLink;
    SqliteStatement m_updateLink;
    SqliteStatement m_updateLinkAfter;
    SqliteStatement m_setNewest;
    SqliteStatement m_newestAtMost;
    SqliteStatement m_previousCheck;
    SqliteStatement m_moveTexts;
    SqliteStatement m_insertCheck;
    SqliteStatement m_deleteChecks;
    SqliteStatement m_deleteLink;
    SqliteStatement m_renameLink;
    CheckBuckets m_buckets;
};
