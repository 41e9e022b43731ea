#include "model/HistoryReader.h"

#include "model/HistoryCodec.h"
#include "model/HistoryRows.h"
#include "model/SqliteDb.h"

#include <algorithm>
#include <optional>

namespace {

std::optional<qint64> FindLink(SqliteDb& db, const LinkKey& key, QByteArray* details = nullptr)
{
    SqliteStatement find(db, "SELECT id, details FROM links WHERE site_id = ?1 AND page_url = ?2");
    find.bind(1, key.siteId).bind(2, key.pageUrl);
    if (!find.step())
        return std::nullopt;
    if (details)
        *details = find.blob(1).toByteArray();
    return find.integer(0);
}

// Steps `rows`, bound as ?1 to the link and ?2 to a bucket, through the link's checks newest first,
// calling `each` on each row until it returns false.
template <typename Each>
void ForEachCheckRow(SqliteDb& db, SqliteStatement& rows, qint64 link, Each each)
{
    CheckBuckets(db).walk(CheckBuckets::All, [&](qint64 bucket) {
        rows.bind(1, link).bind(2, bucket);
        bool more = true;
        while (more && rows.step())
            more = each();
        rows.reset();
        return more;
    });
}

}  // namespace

LatestChecks ReadLatestChecks(SqliteDb& db)
{
    SqliteTransaction transaction(db, SqliteTransaction::Kind::Read);
    LatestChecks latest;
    // Ids only grow, so the largest bounds the number of rows without counting them.
    latest.reserve(static_cast<qsizetype>(std::clamp<qint64>(db.integer("SELECT max(id) FROM links"), 0, 1 << 22)));
    // Only a blob can be a page address: the look-ups bind the address as a blob, so a row whose address
    // was edited into text by hand would never be found again, and its key would get a second row.
    SqliteStatement rows(db,
                         "SELECT site_id, page_url, at, verdict, changes, details, id, newest FROM links "
                         "WHERE typeof(page_url) = 'blob'");
    while (rows.step()) {
        const QByteArrayView pageUrl = rows.blob(1);
        const qint64 at = rows.integer(2);
        const std::optional<LinkStatus> verdict = StoredVerdict(rows.integer(3));
        const qint64 siteId = rows.integer(0);
        if (!verdict || !IsCheckTime(at) || pageUrl.size() > MaxStoredText || siteId != std::int32_t(siteId))
            continue;
        HistoryEntry entry;
        entry.check.at = MsToDayCount(at);
        entry.check.verdict = *verdict;
        entry.check.details = DecodeCheckDetails(rows.blob(5));
        entry.changes = static_cast<HistoryChanges>(rows.integer(4) & AllHistoryChanges);
        // A row written before rows kept their newest check's number does not say it.
        const StoredPlace place{rows.integer(6), rows.isNull(7) ? 0 : rows.integer(7), at};
        latest.add(LinkKey{std::int32_t(siteId), pageUrl.toByteArray()}, std::move(entry), place);
    }
    return latest;
}

std::vector<HistoryEntry> ReadHistory(SqliteDb& db, const LinkKey& key, int limit)
{
    std::vector<HistoryEntry> entries;
    if (limit <= 0 || key.pageUrl.size() > MaxStoredText)
        return entries;
    SqliteTransaction transaction(db, SqliteTransaction::Kind::Read);
    QByteArray details;
    const std::optional<qint64> id = FindLink(db, key, &details);
    if (!id)
        return entries;
    CheckTexts texts = CheckTexts::of(DecodeDetails(details));
    SqliteStatement rows(
        db,
        (QByteArray("SELECT ") + CheckColumns + " FROM checks WHERE bucket = ?2 AND link = ?1 ORDER BY n DESC")
            .constData());
    ForEachCheckRow(db, rows, *id, [&] {
        if (std::optional<HistoryEntry> entry = ReadCheckRow(rows, texts))
            entries.push_back(std::move(*entry));
        return entries.size() < std::size_t(limit);
    });
    return entries;
}

HistorySummary ReadSummary(SqliteDb& db, const LinkKey& key)
{
    HistorySummary summary;
    if (key.pageUrl.size() > MaxStoredText)
        return summary;
    SqliteTransaction transaction(db, SqliteTransaction::Kind::Read);
    const std::optional<qint64> id = FindLink(db, key);
    if (!id)
        return summary;

    // Newest first: the run of verdicts the latest check belongs to, and what came before it.
    SqliteStatement rows(db, "SELECT at, verdict, flags FROM checks WHERE bucket = ?2 AND link = ?1 ORDER BY n DESC");
    std::optional<bool> latestFound;
    bool runEnded = false;
    bool newerConfirmsFound = false;
    double runStart = 0;
    ForEachCheckRow(db, rows, *id, [&] {
        const qint64 at = rows.integer(0);
        const std::optional<LinkStatus> verdict = StoredVerdict(rows.integer(1));
        if (!verdict || !IsCheckTime(at))
            return true;
        ++summary.checkCount;
        summary.firstChecked = MsToDayCount(at);
        const bool found = *verdict == lsFound;
        // A failure that the second fetch made to confirm it found wrong: the link was not lost.
        const bool disproved = !found && newerConfirmsFound;
        newerConfirmsFound = found && (rows.integer(2) & FlagConfirmation);
        if (!latestFound)
            latestFound = found;
        if (runEnded || disproved)
            return true;
        if (found != *latestFound) {
            runEnded = true;
            if (!*latestFound)
                summary.lostSince = runStart;
            return true;
        }
        runStart = MsToDayCount(at);
        return true;
    });
    if (latestFound && *latestFound)
        summary.foundSince = runStart;
    return summary;
}
