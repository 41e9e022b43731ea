#include "model/HistoryRows.h"

#include "model/HistoryCodec.h"
#include "model/SqliteDb.h"

#include <algorithm>

namespace {

int MatchBound(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, 0, MaxStoredText));
}

}  // namespace

CheckTexts CheckTexts::of(const CheckFacts& facts)
{
    CheckTexts texts;
    const LinkAnalysis& analysis = facts.analysis;
    const auto put = [&](Field field, QByteArrayView value) { texts.values[field] = BoundedText(value).toByteArray(); };
    put(Failure, facts.failure);
    put(Reason, facts.reason.toUtf8());
    put(FinalUrl, facts.finalUrl);
    texts.values[Redirects] = EncodeRedirects(facts.redirects);
    put(ContentType, facts.contentType);
    put(Href, analysis.href);
    put(Rel, analysis.rel);
    put(AnchorText, analysis.anchorText);
    put(Canonical, analysis.canonical);
    put(Evidence, analysis.evidence);
    texts.matchStart = MatchBound(analysis.matchStart);
    texts.matchLength = MatchBound(analysis.matchLength);
    return texts;
}

CheckTexts CheckTexts::of(const DetailsView& details)
{
    CheckTexts texts;
    for (int field = 0; field < Count; ++field)
        texts.values[field] = details.texts[std::size_t(field)].toByteArray();
    texts.matchStart = details.matchStart;
    texts.matchLength = details.matchLength;
    return texts;
}

std::optional<HistoryEntry> ReadCheckRow(const SqliteStatement& row, CheckTexts& texts, qint64* n)
{
    if (n)
        *n = row.integer(0);
    for (int field = 0; field < CheckTexts::Count; ++field) {
        const int column = CheckTextColumn + field;
        if (row.isNull(column))
            continue;
        texts.values[field] = BoundedText(row.blob(column)).toByteArray();
        if (field == CheckTexts::Evidence) {
            texts.matchStart = MatchBound(row.integer(CheckTextColumn + CheckTexts::Count));
            texts.matchLength = MatchBound(row.integer(CheckTextColumn + CheckTexts::Count + 1));
        }
    }

    const qint64 at = row.integer(1);
    const std::optional<LinkStatus> verdict = StoredVerdict(row.integer(2));
    if (!IsCheckTime(at) || !verdict)
        return std::nullopt;

    CheckFacts facts;
    facts.httpStatus = StoredHttpStatus(row.integer(4));
    facts.analysis.kind = StoredLinkKind(row.integer(5));
    facts.analysis.extent = StoredExtent(row.integer(6));
    const qint64 flags = row.integer(7);
    ApplyFlags(facts, flags);
    facts.elapsedMs = StoredCount(row.integer(8));
    facts.bytesReceived = StoredCount(row.integer(9));
    const auto& values = texts.values;
    facts.failure = values[CheckTexts::Failure];
    facts.reason = QString::fromUtf8(values[CheckTexts::Reason]);
    facts.finalUrl = values[CheckTexts::FinalUrl];
    facts.redirects = DecodeRedirects(values[CheckTexts::Redirects]);
    facts.contentType = values[CheckTexts::ContentType];
    facts.analysis.href = values[CheckTexts::Href];
    facts.analysis.rel = values[CheckTexts::Rel];
    facts.analysis.anchorText = values[CheckTexts::AnchorText];
    facts.analysis.canonical = values[CheckTexts::Canonical];
    facts.analysis.evidence = values[CheckTexts::Evidence];
    facts.analysis.matchStart = texts.matchStart;
    facts.analysis.matchLength = texts.matchLength;
    facts.attempts = DecodeAttempts(row.blob(CheckAttemptsColumn));

    HistoryEntry entry;
    entry.check.at = MsToDayCount(at);
    entry.check.verdict = *verdict;
    entry.check.details = CheckDetails(facts);
    entry.check.confirmation = flags & FlagConfirmation;
    entry.changes = static_cast<HistoryChanges>(row.integer(3) & AllHistoryChanges);
    return entry;
}

CheckBuckets::CheckBuckets(SqliteDb& db)
    : m_next(db, "SELECT bucket FROM checks WHERE bucket <= ?1 ORDER BY bucket DESC LIMIT 1")
{
}

std::optional<qint64> CheckBuckets::atOrBelow(qint64 bucket)
{
    m_next.bind(1, bucket);
    std::optional<qint64> found;
    // A bucket edited into a fraction reads as the whole number below it, which the next step
    // passes; the walk always moves down.
    if (m_next.step())
        found = std::min(m_next.integer(0), bucket);
    m_next.reset();
    return found;
}
