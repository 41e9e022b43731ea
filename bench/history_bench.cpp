// The check history, each figure beside a peer measured in the same run:
// - bytes a check adds to the file, beside the bytes of the same check written out plainly (its key
//   and every field of its details);
// - a record() call on the caller's side, beside appending the same value to a vector under a mutex;
// - checks committed per second, beside plain SQLite inserts of the same plain rows in the same
//   batches;
// - start-up's read of the latest check of 100,000 links with 30 checks each (3,000,000 rows), and
//   restoring them onto the loaded links, beside loading Items.txt of the same links (LoadLinks).
#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/HistoryCodec.h"
#include "model/HistoryRecorder.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "model/SqliteDb.h"
#include "support/HistorySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <random>

namespace {

const LocaleFormats Formats{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")};
constexpr int StartLinks = 100000;
constexpr int StartChecks = 30;

QByteArray PlainRow(const LinkKey& key, const RecordedCheck& check)
{
    return QByteArray::number(key.siteId) + key.pageUrl + EncodeDetails(check.details) + "00000000";
}

qint64 FileBytes(const QString& file)
{
    RawSql(file, "PRAGMA wal_checkpoint(TRUNCATE)");
    return QFileInfo(file).size();
}

// ---- bytes per check -------------------------------------------------------------------------

std::map<std::string, double> g_figures;

// The same check, but settled at the second try of the fetch.
CheckDetails TriedTwice(const CheckDetails& details)
{
    CheckFacts facts = details.facts();
    facts.attempts = {{"connect", 0, QStringLiteral("Connection refused"), 0, 2}, {{}, 200, {}, 2000, facts.elapsedMs}};
    return CheckDetails(facts);
}

void MeasureBytesPerCheck(const char* name, bool changing, bool retried = false)
{
    constexpr int links = 2000;
    constexpr int rounds = 20;
    HistoryDir dir;
    HistoryOptions options = TestHistoryOptions(5000);
    qint64 afterFirst = 0;
    double plain = 0;
    {
        HistoryStore store(dir.file(), {}, options);
        for (int round = 0; round < rounds; ++round) {
            for (int link = 0; link < links; ++link) {
                RecordedCheck check = SteadyCheck(link, round, changing);
                if (retried)
                    check.details = TriedTwice(check.details);
                store.record(SampleLinkKey(link), check);
                if (round > 0)
                    plain += PlainRow(SampleLinkKey(link), check).size();
            }
            store.flush();
            if (round == 0)
                afterFirst = FileBytes(dir.file());
        }
    }
    const double checks = double(links) * (rounds - 1);
    g_figures[std::string(name)] = double(FileBytes(dir.file()) - afterFirst) / checks;
    g_figures[std::string(name) + " peer"] = plain / checks;
}

void BM_BytesPerCheck(benchmark::State& state)
{
    for (auto _ : state) {
        MeasureBytesPerCheck("bytes, nothing changed", false);
        MeasureBytesPerCheck("bytes, evidence changed", true);
        MeasureBytesPerCheck("bytes, every fetch tried twice", false, true);
    }
}

// ---- record() on the caller's side ----------------------------------------------------------

void BM_Record(benchmark::State& state)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, HistoryOptions());
    const RecordedCheck check = TypicalCheck(5, 1);
    const LinkKey key = SampleLinkKey(5);
    for (auto _ : state)
        store.record(key, check);
}

void BM_Record_Peer(benchmark::State& state)
{
    std::mutex mutex;
    std::vector<HistoryOp> queue;
    const RecordedCheck check = TypicalCheck(5, 1);
    const LinkKey key = SampleLinkKey(5);
    for (auto _ : state) {
        std::lock_guard lock(mutex);
        queue.push_back({HistoryOp::Kind::Record, key, {}, check});
    }
}

// ---- commits --------------------------------------------------------------------------------

constexpr int CommitLinks = 1000;
constexpr int CommitBatch = 100;

void BM_Commit(benchmark::State& state)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions(5000));
    int round = 0;
    for (auto _ : state) {
        for (int link = 0; link < CommitLinks; ++link) {
            store.record(SampleLinkKey(link), SteadyCheck(link, round, true));
            if (link % CommitBatch == CommitBatch - 1)
                store.flush();
        }
        ++round;
    }
    state.SetItemsProcessed(state.iterations() * CommitLinks);
}

void BM_Commit_Peer(benchmark::State& state)
{
    HistoryDir dir;
    SqliteDb db(dir.file(), SqliteDb::Mode::ReadWriteCreate, 5000);
    db.exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
            "CREATE TABLE plain (site_id INTEGER, page_url BLOB, at INTEGER, verdict INTEGER, details BLOB)");
    SqliteStatement insert(db, "INSERT INTO plain VALUES (?1, ?2, ?3, ?4, ?5)");
    int round = 0;
    for (auto _ : state) {
        for (int link = 0; link < CommitLinks; ++link) {
            if (link % CommitBatch == 0)
                db.exec("BEGIN IMMEDIATE");
            const RecordedCheck check = SteadyCheck(link, round, true);
            const LinkKey key = SampleLinkKey(link);
            insert.bind(1, key.siteId).bind(2, key.pageUrl).bind(3, *DayCountToMs(check.at)).bind(4, check.verdict);
            insert.bind(5, EncodeDetails(check.details)).run();
            if (link % CommitBatch == CommitBatch - 1)
                db.exec("COMMIT");
        }
        ++round;
    }
    state.SetItemsProcessed(state.iterations() * CommitLinks);
}

// ---- start-up -------------------------------------------------------------------------------

// 100,000 links and their Items.txt, and a history of 30 checks each. Building the history takes a
// while, so it is kept beside the benchmark programs and used again while its size still fits.
struct StartUp {
    StartUp()
    {
        LinkList list;
        std::vector<LinkRecord> links;
        for (int i = 0; i < StartLinks; ++i) {
            auto link = std::make_shared<rMonitorInfo>();
            const LinkKey key = SampleLinkKey(i);
            link->SiteId = key.siteId;
            link->PageUrl = key.pageUrl;
            link->FirstName = "Anna";
            link->Email = "anna@partner.test";
            link->Created = MinuteAfterStart(-100000);
            // As saved at the last close: to the second, at or before the latest recorded check.
            link->LastCheck = MinuteAfterStart((StartChecks - 1) * 1440 + i % 1440);
            links.push_back(std::move(link));
        }
        list.appendMany(std::move(links));
        SaveLinks(appDir(), list, Formats);

        history = QStringLiteral(QUORVANE_APPDIR "/../bench-data/History-typical-%1x%2-v%3.db")
                      .arg(StartLinks)
                      .arg(StartChecks)
                      .arg(HistorySchemaSteps().back().toVersion);
        QDir().mkpath(QFileInfo(history).path());
        if (!QFile::exists(history) ||
            RawValue(history, "SELECT count(*) FROM checks").toInt() != StartLinks * StartChecks)
            build();
        const double checks = double(StartLinks) * StartChecks;
        g_figures["bytes, typical mix"] = double(FileBytes(history)) / checks;
        double plain = 0;
        for (int link = 0; link < StartLinks; link += 10) {
            for (int round = 0; round < StartChecks; ++round)
                plain += PlainRow(SampleLinkKey(link), TypicalCheck(link, round)).size();
        }
        g_figures["bytes, typical mix peer"] = plain / (checks / 10);
    }

    void build()
    {
        QFile::remove(history);
        HistoryOptions options = TestHistoryOptions(5000);
        options.commitDelayMs = 100;
        HistoryStore store(history, {}, options);
        std::fprintf(stderr, "Building a history of %d checks (kept for later runs)...\n", StartLinks * StartChecks);
        for (int round = 0; round < StartChecks; ++round) {
            for (int link = 0; link < StartLinks; ++link)
                store.record(SampleLinkKey(link), TypicalCheck(link, round));
            store.flush();
        }
    }
    QString appDir() const { return dir.path() + u'/'; }

    QTemporaryDir dir;
    QString history;
};

StartUp& startUp()
{
    static StartUp data;
    return data;
}

// What start-up does with the history once the links are loaded: each link takes its latest check
// when that is at or after its LastCheck.
int Restore(LinkList& list, const LatestChecks& latest)
{
    int restored = 0;
    LinkList::Update update(list);
    for (const LinkRecord& link : list.records()) {
        const HistoryEntry* found = latest.find(LinkKey{link->SiteId, link->PageUrl});
        if (!found)
            continue;
        if (const std::optional<double> lastCheck = RestoredLastCheck(link->LastCheck, found->check.at)) {
            link->LastCheck = *lastCheck;
            list.setStatus(*link, found->check.verdict);
            ++restored;
        }
    }
    return restored;
}

void BM_LoadLinks(benchmark::State& state)
{
    StartUp& data = startUp();
    for (auto _ : state) {
        LinkList list;
        LoadLinks(data.appDir(), list, Formats);
        benchmark::DoNotOptimize(list.rowCount());
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
}

void BM_LatestChecks(benchmark::State& state)
{
    StartUp& data = startUp();
    HistoryOptions options = TestHistoryOptions(5000);
    options.verifyOnOpen = false;
    for (auto _ : state) {
        HistoryStore store(data.history, {}, options);
        LatestChecks latest = store.latestChecks();
        if (latest.size() != StartLinks)
            state.SkipWithError("the history lost links");
        state.PauseTiming();
        latest = {};
        state.ResumeTiming();
    }
}

// Restoring the latest checks onto links already loaded.
void BM_Restore(benchmark::State& state)
{
    StartUp& data = startUp();
    HistoryOptions options = TestHistoryOptions(5000);
    options.verifyOnOpen = false;
    HistoryStore store(data.history, {}, options);
    const LatestChecks checks = store.latestChecks();
    for (auto _ : state) {
        state.PauseTiming();
        LinkList list;
        LoadLinks(data.appDir(), list, Formats);
        state.ResumeTiming();
        if (Restore(list, checks) != StartLinks)
            state.SkipWithError("links were not restored");
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
}

// Loading Items.txt and, on another thread meanwhile, the history; then restoring.
void BM_LoadLinksWithHistory(benchmark::State& state)
{
    StartUp& data = startUp();
    HistoryOptions options = TestHistoryOptions(5000);
    options.verifyOnOpen = false;
    for (auto _ : state) {
        HistoryStore store(data.history, {}, options);
        auto latest = std::async(std::launch::async, [&] { return store.latestChecks(); });
        LinkList list;
        LoadLinks(data.appDir(), list, Formats);
        LatestChecks checks = latest.get();
        if (Restore(list, checks) != StartLinks)
            state.SkipWithError("links were not restored");
        state.PauseTiming();
        list.clear();
        checks = {};
        state.ResumeTiming();
    }
}

// The same, one after the other on one thread.
void BM_LoadLinksThenHistory(benchmark::State& state)
{
    StartUp& data = startUp();
    HistoryOptions options = TestHistoryOptions(5000);
    options.verifyOnOpen = false;
    for (auto _ : state) {
        HistoryStore store(data.history, {}, options);
        LinkList list;
        LoadLinks(data.appDir(), list, Formats);
        LatestChecks checks = store.latestChecks();
        if (Restore(list, checks) != StartLinks)
            state.SkipWithError("links were not restored");
        state.PauseTiming();
        list.clear();
        checks = {};
        state.ResumeTiming();
    }
}

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred) {
                m_ms[run.benchmark_name()] = run.GetAdjustedRealTime() * Scale(run.time_unit);
                m_cpu[run.benchmark_name()] = run.GetAdjustedCPUTime() * Scale(run.time_unit);
            }
            if (run.counters.count("items_per_second"))
                m_rate[run.benchmark_name()] = run.counters.at("items_per_second");
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-44s %14s %14s %9s\n", "figure", "history", "peer", "x peer");
        for (const char* name : {"bytes, nothing changed", "bytes, evidence changed", "bytes, every fetch tried twice",
                                 "bytes, typical mix"}) {
            const double own = g_figures[name];
            const double peer = g_figures[std::string(name) + " peer"];
            std::printf("%-44s %12.1f B %12.1f B %8.2fx\n", (std::string(name) + " per check").c_str(), own, peer,
                        own / peer);
        }
        row("record() on the caller's side", "BM_Record", "BM_Record_Peer", 1e6, "ns");
        const double own = Find(m_rate, "BM_Commit");
        const double peer = Find(m_rate, "BM_Commit_Peer");
        std::printf("%-44s %10.0f /s %10.0f /s %8.2fx\n", "checks committed, batches of 100", own, peer, own / peer);
        // On a busy machine the wall clock says little; the CPU time of the calling thread says what
        // start-up's own thread spends (a history read on another thread does not count there).
        std::printf("\nstart-up, 100,000 links, 3,000,000 checks; peer: LoadLinks of the same links\n");
        std::printf("%-44s %14s %14s %9s %14s %14s %9s\n", "", "wall", "peer", "x peer", "cpu", "peer", "x peer");
        startRow("latest checks (the read alone)", "BM_LatestChecks");
        startRow("restore onto the loaded links", "BM_Restore");
        startRow("load with the history read alongside", "BM_LoadLinksWithHistory");
        startRow("load, then read the history", "BM_LoadLinksThenHistory");
    }

private:
    static double Scale(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1;
        case benchmark::kSecond: return 1e3;
        }
        return 1;
    }

    void row(const char* title, const char* own, const char* peer, double scale, const char* unit)
    {
        const double a = Find(m_ms, own) * scale;
        const double b = Find(m_ms, peer) * scale;
        std::printf("%-44s %11.3f %-2s %11.3f %-2s %8.2fx\n", title, a, unit, b, unit, a / b);
    }

    void startRow(const char* title, const char* own)
    {
        const double wall = Find(m_ms, own);
        const double wallPeer = Find(m_ms, "BM_LoadLinks");
        const double cpu = Find(m_cpu, own);
        const double cpuPeer = Find(m_cpu, "BM_LoadLinks");
        std::printf("%-44s %11.1f ms %11.1f ms %8.2fx %11.1f ms %11.1f ms %8.2fx\n", title, wall, wallPeer,
                    wall / wallPeer, cpu, cpuPeer, cpu / cpuPeer);
    }

    static bool IsAggregate(const std::string& name)
    {
        for (const char* suffix : {"_mean", "_median", "_stddev", "_cv"}) {
            if (name.ends_with(suffix))
                return true;
        }
        return false;
    }

    // Google Benchmark adds "/real_time" and the like to a name, and "_median" to the median of
    // repetitions, which is the figure taken when there are any.
    static double Find(const std::map<std::string, double>& figures, const char* name)
    {
        double single = 0;
        for (const auto& [full, value] : figures) {
            const std::string rest = full.rfind(name, 0) == 0 ? full.substr(std::strlen(name)) : "-";
            if (rest.rfind("_median", 0) == 0 || (rest[0] == '/' && rest.ends_with("_median")))
                return value;
            if (rest.empty() || (rest[0] == '/' && !IsAggregate(rest)))
                single = value;
        }
        return single;
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_cpu;
    std::map<std::string, double> m_rate;
};

}  // namespace

BENCHMARK(BM_BytesPerCheck)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Record)->UseRealTime();
BENCHMARK(BM_Record_Peer)->UseRealTime();
BENCHMARK(BM_Commit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Commit_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatestChecks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLinksWithHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLinksThenHistory)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
