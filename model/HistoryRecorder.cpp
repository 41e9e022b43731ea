#include "model/HistoryRecorder.h"

#include "model/HistoryCodec.h"
#include "model/HistoryRows.h"

#include <sqlite3.h>

#include <limits>

namespace {

bool Storable(const LinkKey& key)
{
    return key.pageUrl.size() <= MaxStoredText;
}

ChangeFacts StoredChangeFacts(LinkStatus verdict, const DetailsView& details)
{
    static_assert(CheckTexts::Count == std::tuple_size_v<decltype(DetailsView::texts)>);
    return {verdict,
            details.kind,
            details.texts[CheckTexts::AnchorText],
            details.texts[CheckTexts::FinalUrl],
            (details.flags & FlagBlocked) != 0,
            true};
}

QByteArray PreviousCheckSql()
{
    return QByteArray("SELECT ") + CheckColumns +
        " FROM checks WHERE bucket = ?3 AND link = ?1 AND n < ?2 ORDER BY n DESC LIMIT 1";
}

// Only an edited file can hold a number this large; the next one would not fit.
constexpr qint64 MaxCheckNumber = std::numeric_limits<qint64>::max() - 1;

// The newest check's number as a links row gives it: 0 when the row does not say (a row written
// before rows said it) or says something no check can be numbered.
qint64 StoredNewest(const SqliteStatement& row, int column)
{
    const qint64 newest = row.isNull(column) ? 0 : row.integer(column);
    return newest >= 1 && newest < MaxCheckNumber ? newest : 0;
}

}  // namespace

HistoryRecorder::HistoryRecorder(SqliteDb& db, bool sameFile)
    : m_db(db),
      m_sameFile(sameFile),
      m_findLink(db, "SELECT id, verdict, details, newest FROM links WHERE site_id = ?1 AND page_url = ?2"),
      m_insertLink(db,
                   "INSERT INTO links (site_id, page_url, at, verdict, changes, details, newest) "
                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
      m_updateLink(db, "UPDATE links SET at = ?2, verdict = ?3, changes = ?4, details = ?5, newest = ?6 WHERE id = ?1"),
      // Only while the row is still the link's, and still says the check read is its latest.
      m_updateLinkAfter(db,
                        "UPDATE links SET at = ?2, verdict = ?3, changes = ?4, details = ?5, newest = ?6 "
                        "WHERE id = ?1 AND site_id = ?7 AND page_url = ?8 AND newest = ?9 AND at = ?10"),
      m_setNewest(db, "UPDATE links SET newest = ?2 WHERE id = ?1"),
      m_newestAtMost(db, "SELECT max(n) FROM checks WHERE bucket = ?3 AND link = ?1 AND n <= ?2"),
      m_previousCheck(db, PreviousCheckSql().constData()),
      m_moveTexts(db,
                  "UPDATE checks SET failure = ?3, reason = ?4, final_url = ?5, redirects = ?6, "
                  "content_type = ?7, href = ?8, rel = ?9, anchor_text = ?10, canonical = ?11, evidence = ?12, "
                  "match_start = ?13, match_length = ?14 "
                  "WHERE bucket = (?2 - 1) / 8 AND link = ?1 AND n = ?2"),
      m_insertCheck(db,
                    "INSERT INTO checks (bucket, link, n, at, verdict, changes, http, kind, extent, flags, "
                    "elapsed_ms, bytes, attempts) "
                    "VALUES ((?2 - 1) / 8, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)"),
      m_deleteChecks(db, "DELETE FROM checks WHERE bucket = ?2 AND link = ?1"),
      m_deleteLink(db, "DELETE FROM links WHERE id = ?1"),
      m_renameLink(db, "UPDATE links SET site_id = ?2, page_url = ?3 WHERE id = ?1"),
      m_buckets(db)
{
}

void HistoryRecorder::apply(const std::vector<HistoryOp>& ops)
{
    SqliteTransaction transaction(m_db, SqliteTransaction::Kind::Write);
    for (const HistoryOp& op : ops) {
        switch (op.kind) {
        case HistoryOp::Kind::Record: record(op); break;
        case HistoryOp::Kind::Forget: forget(op.key); break;
        case HistoryOp::Kind::Rename: rename(op.key, op.target); break;
        }
    }
    transaction.commit();
}

std::optional<HistoryRecorder::StoredLink> HistoryRecorder::storedLink(const LinkKey& key)
{
    m_findLink.bind(1, key.siteId).bind(2, key.pageUrl);
    std::optional<StoredLink> link;
    if (m_findLink.step()) {
        const LinkStatus verdict = StoredVerdict(m_findLink.integer(1)).value_or(lsUnchecked);
        link =
            StoredLink{m_findLink.integer(0), StoredNewest(m_findLink, 3), verdict, m_findLink.blob(2).toByteArray()};
    }
    m_findLink.reset();
    return link;
}

std::optional<qint64> HistoryRecorder::findLink(const LinkKey& key)
{
    if (const std::optional<StoredLink> link = storedLink(key))
        return link->id;
    return std::nullopt;
}

qint64 HistoryRecorder::newestCheck(qint64 link)
{
    const qint64 newest = newestAtMost(link, std::numeric_limits<qint64>::max()).value_or(0);
    if (newest >= MaxCheckNumber)
        throw SqliteError(SQLITE_CORRUPT, "a link's checks are numbered beyond any count");
    return newest;
}

void HistoryRecorder::record(const HistoryOp& op)
{
    const LinkKey& key = op.key;
    const RecordedCheck& check = op.check;
    const std::optional<qint64> at = DayCountToMs(check.at);
    if (!Storable(key) || !at || !IsCheckTime(*at) || !StoredVerdict(check.verdict))
        return;
    const QByteArray encoded = EncodeDetails(check.details);
    if (op.previous && recordAfter(key, check, *op.previous, *at, encoded))
        return;

    const std::optional<StoredLink> stored = storedLink(key);
    if (!stored) {
        // The link had a history when its check began, and has none now: it was deleted meanwhile
        // (by the window, while quorvane-check ran), and its history went with it.
        if (op.previous && m_sameFile)
            return;
        m_insertLink.bind(1, key.siteId).bind(2, key.pageUrl).bind(3, *at).bind(4, check.verdict).bind(5, 0);
        m_insertLink.bind(6, encoded).bind(7, 1).run();
        insertCheck(m_db.lastInsertId(), 1, *at, check, 0);
        return;
    }
    const StoredLink& link = *stored;
    // Both checks are compared as stored, in place: this runs for every check, and decoding them
    // would cost more than the rest.
    const DetailsView before = ViewDetails(link.details);
    // A row written before rows kept the number looks it up once.
    const qint64 newest = link.newest > 0 ? link.newest : newestCheck(link.id);
    const HistoryChanges changes = changesSince(link.id, newest, link.verdict, before, check);
    m_updateLink.bind(1, link.id).bind(2, *at).bind(3, check.verdict).bind(4, changes).bind(5, encoded);
    m_updateLink.bind(6, newest + 1).run();
    appendCheck(link.id, newest, before, ViewDetails(encoded), *at, check, changes);
}

bool HistoryRecorder::recordAfter(const LinkKey& key, const RecordedCheck& check, const PreviousCheck& previous,
                                  qint64 at, const QByteArray& encoded)
{
    const StoredPlace& place = previous.place;
    if (place.link <= 0 || place.n < 1 || place.n >= MaxCheckNumber || !StoredVerdict(previous.check.verdict))
        return false;
    QByteArray reason;
    QByteArray redirects;
    const DetailsView before = ViewOfDetails(previous.check.details, reason, redirects);
    const HistoryChanges changes = changesSince(place.link, place.n, previous.check.verdict, before, check);
    m_updateLinkAfter.bind(1, place.link).bind(2, at).bind(3, check.verdict).bind(4, changes).bind(5, encoded);
    m_updateLinkAfter.bind(6, place.n + 1).bind(7, key.siteId).bind(8, key.pageUrl).bind(9, place.n);
    m_updateLinkAfter.bind(10, place.atMs).run();
    if (m_db.changes() != 1)
        return false;
    appendCheck(place.link, place.n, before, ViewDetails(encoded), at, check, changes);
    return true;
}

HistoryChanges HistoryRecorder::changesSince(qint64 link, qint64 newest, LinkStatus verdict, const DetailsView& before,
                                             const RecordedCheck& check)
{
    if (verdict == lsUnchecked)
        return 0;
    HistoryChanges changes = ChangesBetween(StoredChangeFacts(verdict, before), ChangeFacts::of(check));
    if (check.confirmation && newest > 0) {
        CheckTexts texts = CheckTexts::of(before);
        m_buckets.walk(CheckBucketOf(newest - 1), [&](qint64 bucket) {
            m_previousCheck.bind(1, link).bind(2, newest).bind(3, bucket);
            const bool found = m_previousCheck.step();
            if (found) {
                if (std::optional<HistoryEntry> earlier = ReadCheckRow(m_previousCheck, texts))
                    changes = ChangesBetween(earlier->check, check);
            }
            m_previousCheck.reset();
            return !found;
        });
    }
    return changes;
}

void HistoryRecorder::appendCheck(qint64 link, qint64 newest, const DetailsView& before, const DetailsView& latest,
                                  qint64 at, const RecordedCheck& check, HistoryChanges changes)
{
    const qint64 n = insertCheck(link, newest + 1, at, check, changes);
    if (n != newest + 1)
        m_setNewest.bind(1, link).bind(2, n).run();
    if (n == 1)
        return;
    // The check that was newest keeps, in its own row, the texts that the new one changes.
    const bool sameMatch = before.matchStart == latest.matchStart && before.matchLength == latest.matchLength;
    bool moved = false;
    for (int field = 0; field < CheckTexts::Count; ++field) {
        const std::size_t text = std::size_t(field);
        if (latest.texts[text] == before.texts[text] && (field != CheckTexts::Evidence || sameMatch))
            continue;
        moved = true;
        m_moveTexts.bind(3 + field, before.texts[text]);
        if (field == CheckTexts::Evidence) {
            m_moveTexts.bind(3 + CheckTexts::Count, before.matchStart);
            m_moveTexts.bind(4 + CheckTexts::Count, before.matchLength);
        }
    }
    if (!moved) {
        m_moveTexts.reset();
        return;
    }
    // Into the check that was newest before this one, whatever a hand-edited links row says its
    // number is.
    if (const std::optional<qint64> previous = newestAtMost(link, n - 1))
        m_moveTexts.bind(1, link).bind(2, *previous).run();
    else
        m_moveTexts.reset();
}

std::optional<qint64> HistoryRecorder::newestAtMost(qint64 link, qint64 limit)
{
    std::optional<qint64> number;
    m_buckets.walk(CheckBucketOf(limit), [&](qint64 bucket) {
        m_newestAtMost.bind(1, link).bind(2, limit).bind(3, bucket);
        if (m_newestAtMost.step() && !m_newestAtMost.isNull(0))
            number = m_newestAtMost.integer(0);
        m_newestAtMost.reset();
        return !number;
    });
    return number;
}

qint64 HistoryRecorder::insertCheck(qint64 link, qint64 n, qint64 at, const RecordedCheck& check,
                                    HistoryChanges changes)
{
    const CheckDetails& details = check.details;
    for (int attempt = 0;; ++attempt) {
        m_insertCheck.bind(1, link).bind(2, n).bind(3, at).bind(4, check.verdict).bind(5, changes);
        m_insertCheck.bind(6, StoredHttpStatus(details.httpStatus())).bind(7, qint64(details.linkKind()));
        m_insertCheck.bind(8, qint64(details.extent())).bind(9, FlagsOf(details, check.confirmation));
        m_insertCheck.bind(10, StoredCount(details.elapsedMs())).bind(11, StoredCount(details.bytesReceived()));
        // Most fetches settle at the first try, and such a row stores no tries at all.
        if (details.attemptCount() > 0)
            m_insertCheck.bind(12, EncodeAttempts(AttemptsOf(details)));
        else
            m_insertCheck.bindNull(12);
        try {
            m_insertCheck.run();
            return n;
        } catch (const SqliteError& error) {
            // The number was taken: the links row was edited by hand. SQLite has undone the
            // statement alone; the check goes after the link's real newest one.
            if (error.code() != SQLITE_CONSTRAINT_PRIMARYKEY || attempt > 0)
                throw;
            n = newestCheck(link) + 1;
        }
    }
}

void HistoryRecorder::forget(const LinkKey& key)
{
    if (!Storable(key))
        return;
    if (const std::optional<qint64> id = findLink(key))
        deleteLink(*id);
}

void HistoryRecorder::rename(const LinkKey& from, const LinkKey& to)
{
    if (!Storable(from) || !Storable(to) || from == to)
        return;
    const std::optional<qint64> source = findLink(from);
    if (!source)
        return;
    // Two rows with one key share one history; the one already kept under the new key stays.
    if (findLink(to)) {
        deleteLink(*source);
        return;
    }
    m_renameLink.bind(1, *source).bind(2, to.siteId).bind(3, to.pageUrl).run();
}

void HistoryRecorder::deleteLink(qint64 id)
{
    m_buckets.walk(CheckBuckets::All, [&](qint64 bucket) {
        m_deleteChecks.bind(1, id).bind(2, bucket).run();
        return true;
    });
    m_deleteLink.bind(1, id).run();
}
