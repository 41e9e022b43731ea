#include "support/HistorySamples.h"

#include "model/DateTime.h"
#include "model/HistoryCodec.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"

#include <stdexcept>

double MinuteAfterStart(int minutes, int ms)
{
    const double start = EncodeDateTime(QDate(2024, 5, 1), QTime(10, 0));
    return MsToDayCount(*DayCountToMs(start) + qint64(minutes) * 60000 + ms);
}

CheckFacts FollowedFacts(int variant)
{
    CheckFacts facts;
    facts.httpStatus = 200;
    facts.finalUrl = "https://www.partner.test/links/";
    facts.redirects = {{"http://partner.test/links", 301}};
    facts.elapsedMs = 180 + variant;
    facts.bytesReceived = 24000 + variant;
    facts.contentType = "text/html; charset=utf-8";
    LinkAnalysis& analysis = facts.analysis;
    analysis.kind = LinkKind::Followed;
    analysis.extent = AnalysisExtent::Whole;
    analysis.href = "https://mysite.example/";
    analysis.anchorText = "My garden site";
    analysis.canonical = "https://www.partner.test/links/";
    QByteArray evidence = "<li>Friends of the garden: <a href=\"https://mysite.example/\">My garden site</a> ";
    evidence += "(updated " + QByteArray::number(variant) + ")</li>";
    while (evidence.size() < 300)
        evidence += " <li><a href=\"https://other.test/\">Other</a></li>";
    analysis.evidence = evidence.first(300);
    analysis.matchStart = 28;
    analysis.matchLength = 53;
    return facts;
}

CheckFacts FailedFacts(QByteArrayView kind, const QString& reason)
{
    CheckFacts facts;
    facts.failure = kind.toByteArray();
    facts.reason = reason;
    facts.finalUrl = "https://www.partner.test/links/";
    facts.elapsedMs = 12;
    return facts;
}

RecordedCheck Check(double at, LinkStatus verdict, const CheckFacts& facts, bool confirmation)
{
    return {at, verdict, CheckDetails(facts), confirmation};
}

HistoryDir::HistoryDir()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
}

HistoryOptions TestHistoryOptions(int busyTimeoutMs)
{
    HistoryOptions options;
    options.busyTimeoutMs = busyTimeoutMs;
    options.commitDelayMs = 0;
    return options;
}

QByteArray IntegrityCheck(const QString& file)
{
    SqliteDb db(file, SqliteDb::Mode::ReadWrite, 5000);
    SqliteStatement check(db, "PRAGMA integrity_check");
    QByteArray result;
    while (check.step())
        result += (result.isEmpty() ? "" : "; ") + check.blob(0).toByteArray();
    return result;
}
