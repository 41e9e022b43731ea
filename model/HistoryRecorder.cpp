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
    return QByteArray("SELECT ") + CheckColumns + " FROM checks WHERE link = ?1 AND n < ?2 ORDER BY n DESC LIMIT 1";
}

}  // namespace

HistoryRecorder::HistoryRecorder(SqliteDb& db)
    : m_db(db),
      m_findLink(db, "SELECT id, verdict, details FROM links WHERE site_id = ?1 AND page_url = ?2"),
      m_insertLink(db,
                   "INSERT INTO links (site_id, page_url, at, verdict, changes, details) "
                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
      m_updateLink(db, "UPDATE links SET at = ?2, verdict = ?3, changes = ?4, details = ?5 WHERE id = ?1"),
      m_newestCheck(db, "SELECT max(n) FROM checks WHERE link = ?1"),
      m_previousCheck(db, PreviousCheckSql().constData()),
      m_moveTexts(db,
                  "UPDATE checks SET failure = ?3, reason = ?4, final_url = ?5, redirects = ?6, "
                  "content_type = ?7, href = ?8, rel = ?9, anchor_text = ?10, canonical = ?11, evidence = ?12, "
                  "match_start = ?13, match_length = ?14 WHERE link = ?1 AND n = ?2"),
      m_insertCheck(db,
                    "INSERT INTO checks (link, n, at, verdict, changes, http, kind, extent, flags, elapsed_ms, "
                    "bytes, attempts) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)"),
      m_deleteChecks(db, "DELETE FROM checks WHERE link = ?1"),
      m_deleteLink(db, "DELETE FROM links WHERE id = ?1"),
      m_renameLink(db, "UPDATE links SET site_id = ?2, page_url = ?3 WHERE id = ?1")
{
}

void HistoryRecorder::apply(const std::vector<HistoryOp>& ops)
{
    SqliteTransaction transaction(m_db, SqliteTransaction::Kind::Write);
    for (const HistoryOp& op : ops) {
        switch (op.kind) {
        case HistoryOp::Kind::Record: record(op.key, op.check); break;
        case HistoryOp::Kind::Forget: forget(op.key); break;
        case HistoryOp::Kind::Rename: rename(op.key, op.target); break;
        }
    }
    transaction.commit();
}

std::optional<qint64> HistoryRecorder::findLink(const LinkKey& key)
{
    m_findLink.bind(1, key.siteId).bind(2, key.pageUrl);
    std::optional<qint64> id;
    if (m_findLink.step())
        id = m_findLink.integer(0);
    m_findLink.reset();
    return id;
}

void HistoryRecorder::record(const LinkKey& key, const RecordedCheck& check)
{
    const std::optional<qint64> at = DayCountToMs(check.at);
    if (!Storable(key) || !at || !IsCheckTime(*at) || !StoredVerdict(check.verdict))
        return;
    const QByteArray encoded = EncodeDetails(check.details);

    m_findLink.bind(1, key.siteId).bind(2, key.pageUrl);
    if (!m_findLink.step()) {
        m_findLink.reset();
        m_insertLink.bind(1, key.siteId).bind(2, key.pageUrl).bind(3, *at).bind(4, check.verdict).bind(5, 0);
        m_insertLink.bind(6, encoded).run();
        insertCheck(m_db.lastInsertId(), 1, *at, check, 0);
        return;
    }
    const qint64 id = m_findLink.integer(0);
    const LinkStatus previousVerdict = StoredVerdict(m_findLink.integer(1)).value_or(lsUnchecked);
    // The row's bytes last only until the statement moves on. Both checks are compared as stored,
    // in place: this runs for every check, and decoding them would cost more than the rest.
    const QByteArray previousBytes = m_findLink.blob(2).toByteArray();
    m_findLink.reset();
    const DetailsView previous = ViewDetails(previousBytes);
    const DetailsView latest = ViewDetails(encoded);

    m_newestCheck.bind(1, id);
    const qint64 newest = m_newestCheck.step() ? m_newestCheck.integer(0) : 0;
    m_newestCheck.reset();
    // Only an edited file can hold a number this large; the next one would not fit.
    if (newest >= std::numeric_limits<qint64>::max() - 1)
        throw SqliteError(SQLITE_CORRUPT, "a link's checks are numbered beyond any count");

    HistoryChanges changes = 0;
    if (previousVerdict != lsUnchecked) {
        changes = ChangesBetween(StoredChangeFacts(previousVerdict, previous), ChangeFacts::of(check));
        if (check.confirmation && newest > 0) {
            m_previousCheck.bind(1, id).bind(2, newest);
            CheckTexts texts = CheckTexts::of(previous);
            if (m_previousCheck.step()) {
                if (std::optional<HistoryEntry> before = ReadCheckRow(m_previousCheck, texts))
                    changes = ChangesBetween(before->check, check);
            }
            m_previousCheck.reset();
        }
    }

    if (newest > 0) {
        // The check that was newest keeps, in its own row, the texts that the new one changes.
        const bool sameMatch = previous.matchStart == latest.matchStart && previous.matchLength == latest.matchLength;
        bool moved = false;
        m_moveTexts.bind(1, id).bind(2, newest);
        for (int field = 0; field < CheckTexts::Count; ++field) {
            const std::size_t text = std::size_t(field);
            if (latest.texts[text] == previous.texts[text] && (field != CheckTexts::Evidence || sameMatch))
                continue;
            moved = true;
            m_moveTexts.bind(3 + field, previous.texts[text]);
            if (field == CheckTexts::Evidence) {
                m_moveTexts.bind(3 + CheckTexts::Count, previous.matchStart);
                m_moveTexts.bind(4 + CheckTexts::Count, previous.matchLength);
            }
        }
        if (moved)
            m_moveTexts.run();
        else
            m_moveTexts.reset();
    }

    insertCheck(id, newest + 1, *at, check, changes);
    m_updateLink.bind(1, id).bind(2, *at).bind(3, check.verdict).bind(4, changes).bind(5, encoded).run();
}

void HistoryRecorder::insertCheck(qint64 link, qint64 n, qint64 at, const RecordedCheck& check, HistoryChanges changes)
{
    const CheckDetails& details = check.details;
    m_insertCheck.bind(1, link).bind(2, n).bind(3, at).bind(4, check.verdict).bind(5, changes);
    m_insertCheck.bind(6, StoredHttpStatus(details.httpStatus())).bind(7, qint64(details.linkKind()));
    m_insertCheck.bind(8, qint64(details.extent())).bind(9, FlagsOf(details, check.confirmation));
    m_insertCheck.bind(10, StoredCount(details.elapsedMs())).bind(11, StoredCount(details.bytesReceived()));
    // Most fetches settle at the first try, and such a row stores no tries at all.
    if (details.attemptCount() > 0)
        m_insertCheck.bind(12, EncodeAttempts(AttemptsOf(details)));
    else
        m_insertCheck.bindNull(12);
    m_insertCheck.run();
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
    m_deleteChecks.bind(1, id).run();
    m_deleteLink.bind(1, id).run();
}
