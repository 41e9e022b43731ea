#include "support/HistorySamples.h"

#include "model/DateTime.h"
#include "model/HistoryCodec.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"

#include <QFile>

#include <sqlite3.h>

#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

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

LinkKey SampleLinkKey(int link)
{
    static const char* words[] = {"garden", "travel", "recipes", "photo", "bikes", "music", "books", "hosting"};
    return {1 + link % 20,
            QByteArray("http://www.") + words[link % 8] + "-" + words[(link / 8) % 8] + QByteArray::number(link) +
                ".com/partners/resources.php?page=" + QByteArray::number(link % 50)};
}

RecordedCheck SteadyCheck(int link, int round, bool changing)
{
    CheckFacts facts = FollowedFacts(changing ? round : 0);
    facts.elapsedMs = 150 + (link * 31 + round * 17) % 900;
    facts.bytesReceived = 20000 + (link * 13) % 9000;
    return Check(MinuteAfterStart(round * 1440 + link % 1440, link % 1000), lsFound, facts);
}

RecordedCheck TypicalCheck(int link, int round)
{
    const double at = MinuteAfterStart(round * 1440 + link % 1440, link % 1000);
    switch (link % 20) {
    case 0: return Check(at, lsConnectionError, FailedFacts());
    case 1:
    case 2: {
        CheckFacts facts = FollowedFacts(0);
        facts.analysis = LinkAnalysis();
        facts.analysis.kind = LinkKind::None;
        facts.analysis.extent = AnalysisExtent::Whole;
        return Check(at, lsNotFound, facts);
    }
    default: return SteadyCheck(link, round, link % 4 == 0 && round % 5 == 0);
    }
}

std::vector<RecordedCheck> Checks(const std::vector<HistoryEntry>& entries)
{
    std::vector<RecordedCheck> checks;
    for (const HistoryEntry& entry : entries)
        checks.push_back(entry.check);
    return checks;
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

namespace {

struct RawConnection {
    explicit RawConnection(const QString& file)
    {
        if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_busy_timeout(db, 5000);
    }
    ~RawConnection() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

}  // namespace

void RawSql(const QString& file, const char* sql)
{
    RawConnection raw(file);
    char* message = nullptr;
    if (sqlite3_exec(raw.db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error(text);
    }
}

QByteArray RawValue(const QString& file, const char* sql)
{
    RawConnection raw(file);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw.db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(raw.db));
    QByteArray value;
    if (sqlite3_step(statement) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return value;
}

int RunInChild(const std::function<int()>& body, bool unprivileged)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (unprivileged && ::geteuid() == 0) {
            // nobody and nogroup
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(120);
        }
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
