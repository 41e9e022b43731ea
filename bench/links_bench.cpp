// The inbound links list and its file at 10,000 and 100,000 links, each figure beside a plain peer
// measured in the same run: a plain write or read of the same bytes, a plain stable sort, a plain
// loop over the rows.
#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

namespace {

const LocaleFormats Formats{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")};
constexpr int SiteCount = 20;

// Partner pages and contacts shaped like real ones: long shared prefixes, mixed case, dates with
// and without a time of day, a fifth never checked.
std::vector<LinkRecord> realisticLinks(int n, unsigned seed = 1)
{
    static const char* words[] = {"garden", "Travel", "recipes", "photo", "bikes",  "Music",  "books", "hosting",
                                  "games",  "news",   "pets",    "cars",  "Health", "crafts", "sport", "finance"};
    static const char* first[] = {"Anna", "John", "Maria", "Peter", "Linda", "Tom", "Eva", "Mark", ""};
    static const char* last[] = {"Smith", "Miller", "Brown", "Johnson", "Lee", "Garcia", "Young", ""};
    std::mt19937 rng(seed);
    std::vector<LinkRecord> links;
    links.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        auto link = std::make_shared<rMonitorInfo>();
        link->SiteId = 1 + static_cast<int>(rng() % SiteCount);
        const char* w1 = words[rng() % 16];
        const char* w2 = words[rng() % 16];
        link->PageUrl = QByteArray("http://www.") + w1 + "-" + w2 + QByteArray::number(rng() % 100000) + ".com/" +
            (rng() % 2 ? "links.html" : "partners/resources.php?page=" + QByteArray::number(rng() % 50));
        link->FirstName = first[rng() % 9];
        link->LastName = last[rng() % 8];
        link->Email = link->FirstName.isEmpty() ? QByteArray() : link->FirstName.toLower() + "@" + w2 + ".com";
        const QDate day = QDate(2015, 1, 1).addDays(rng() % 3000);
        link->Created = EncodeDateTime(day, rng() % 4 ? QTime(rng() % 24, rng() % 60, rng() % 60) : QTime(0, 0));
        link->LastCheck =
            rng() % 5 ? EncodeDateTime(day.addDays(rng() % 300), QTime(rng() % 24, rng() % 60, rng() % 60)) : 0;
        links.push_back(std::move(link));
    }
    return links;
}

void fill(LinkList& list, int n)
{
    list.appendMany(realisticLinks(n));
}

// ---- LoadLinks / SaveLinks -----------------------------------------------------------------

struct FileFixture {
    explicit FileFixture(int n)
    {
        LinkList list;
        fill(list, n);
        SaveLinks(appDir(), list, Formats);
    }
    QString appDir() const { return dir.path() + u'/'; }
    QTemporaryDir dir;
};

void BM_SaveLinks(benchmark::State& state)
{
    FileFixture files(static_cast<int>(state.range(0)));
    LinkList list;
    LoadLinks(files.appDir(), list, Formats);
    for (auto _ : state)
        SaveLinks(files.appDir(), list, Formats);
}

void BM_SaveLinks_Peer(benchmark::State& state)
{
    FileFixture files(static_cast<int>(state.range(0)));
    QFile in(files.appDir() + QStringLiteral("Items.txt"));
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    for (auto _ : state) {
        QFile out(files.appDir() + QStringLiteral("plain.txt"));
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(bytes);
        out.close();
    }
}

void BM_LoadLinks(benchmark::State& state)
{
    FileFixture files(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        LinkList list;
        LoadLinks(files.appDir(), list, Formats);
        benchmark::DoNotOptimize(list.rowCount());
        state.PauseTiming();  // freeing the list is not part of loading
        list.clear();
        state.ResumeTiming();
    }
}

void BM_LoadLinks_Peer(benchmark::State& state)
{
    FileFixture files(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QFile in(files.appDir() + QStringLiteral("Items.txt"));
        in.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(in.readAll());
    }
}

// ---- sorting by Url ------------------------------------------------------------------------

void BM_SortByUrl(benchmark::State& state)
{
    LinkList list;
    fill(list, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        list.SortByColumn(ColCreated);  // start every sort from an order unrelated to the Url
        state.ResumeTiming();
        list.SortByColumn(ColUrl);
    }
}

void BM_SortByUrl_Peer(benchmark::State& state)
{
    std::vector<LinkRecord> base = realisticLinks(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<LinkRecord> links = base;
        state.ResumeTiming();
        std::stable_sort(links.begin(), links.end(), [](const LinkRecord& a, const LinkRecord& b) {
            return VSTItemCompareNodes(*a, *b, ColUrl) < 0;
        });
    }
}

// ---- switching the website filter ----------------------------------------------------------

void BM_FilterSwitch(benchmark::State& state)
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    for (int id = 1; id <= SiteCount; ++id)
        sites.append({"Site " + QByteArray::number(id), "site" + QByteArray::number(id) + ".example", id});
    LinkList list;
    fill(list, static_cast<int>(state.range(0)));
    list.SortByColumn(ColUrl);
    int id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.ShowSiteItems(1 + id++ % SiteCount, sites));
        benchmark::DoNotOptimize(list.StatusBarTexts());
    }
}

void BM_FilterSwitch_Peer(benchmark::State& state)
{
    const std::vector<LinkRecord> links = realisticLinks(static_cast<int>(state.range(0)));
    std::vector<char> visible(links.size());
    int id = 0;
    for (auto _ : state) {
        const int site = 1 + id++ % SiteCount;
        for (std::size_t i = 0; i < links.size(); ++i)
            visible[i] = links[i]->SiteId == site;
        benchmark::DoNotOptimize(visible.data());
    }
}

// ---- one Status change under "sort by Result" -----------------------------------------------

void BM_StatusChange(benchmark::State& state)
{
    LinkList list;
    fill(list, static_cast<int>(state.range(0)));
    std::vector<LinkRecord> links = list.records();
    std::mt19937 rng(5);
    for (const LinkRecord& link : links)
        list.setStatus(*link, static_cast<LinkStatus>(rng() % 5));
    list.SortByColumn(ColResult);
    for (auto _ : state) {
        const LinkRecord& link = links[rng() % links.size()];
        list.setStatus(*link, link->Status == lsChecking ? static_cast<LinkStatus>(2 + rng() % 3) : lsChecking);
        benchmark::DoNotOptimize(list.StatusBarTexts());
    }
}

// The naive way: a full stable sort after every change.
void BM_StatusChange_Peer(benchmark::State& state)
{
    std::vector<LinkRecord> links = realisticLinks(static_cast<int>(state.range(0)));
    std::mt19937 rng(5);
    for (const LinkRecord& link : links)
        link->Status = static_cast<LinkStatus>(rng() % 5);
    for (auto _ : state) {
        const LinkRecord& link = links[rng() % links.size()];
        link->Status = link->Status == lsChecking ? static_cast<LinkStatus>(2 + rng() % 3) : lsChecking;
        std::stable_sort(links.begin(), links.end(),
                         [](const LinkRecord& a, const LinkRecord& b) { return a->Status < b->Status; });
    }
}

// ---- memory --------------------------------------------------------------------------------

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// Bytes per link held by the list beyond the bytes of its texts; the peer is the texts alone.
void BM_MemoryPerLink(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double perLink = 0;
    double textsPerLink = 0;
    for (auto _ : state) {
        std::size_t textBytes = 0;
        {
            std::vector<LinkRecord> links = realisticLinks(n);
            const std::size_t before = heapInUse();
            std::vector<QByteArray> texts;
            texts.reserve(links.size() * 4);
            for (const LinkRecord& l : links) {
                for (const QByteArray* t : {&l->PageUrl, &l->FirstName, &l->LastName, &l->Email})
                    texts.push_back(QByteArray(t->constData(), t->size()));  // a deep copy of each text
            }
            textBytes = heapInUse() - before - texts.capacity() * sizeof(QByteArray);
        }
        const std::size_t before = heapInUse();
        {
            LinkList list;
            fill(list, n);
            list.SortByColumn(ColUrl);
            const std::size_t total = heapInUse() - before;
            perLink = double(total - textBytes) / n;
            textsPerLink = double(textBytes) / n;
        }
    }
    state.counters["bytes_per_link"] = perLink;
    state.counters["text_bytes_per_link"] = textsPerLink;
}

// ---- the table -----------------------------------------------------------------------------

// Collects every run and prints, after Google Benchmark's own lines, one row per operation: the
// figure at 10,000 and 100,000 links, how it grew, the peer and the ratio, and the target.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            const double ms = run.GetAdjustedRealTime() * factor(run.time_unit);
            m_ms[name] = ms;
            if (run.counters.count("bytes_per_link"))
                m_bytes[name] = run.counters.at("bytes_per_link");
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-34s %12s %12s %8s %12s %9s %10s\n", "operation", "10,000", "100,000", "growth", "peer 100k",
                    "x peer", "target");
        row("LoadLinks", "BM_LoadLinks", "ms", 1, "250 ms");
        row("SaveLinks", "BM_SaveLinks", "ms", 1, "250 ms");
        row("sort by Url", "BM_SortByUrl", "ms", 1, "150 ms");
        row("switching the website filter", "BM_FilterSwitch", "ms", 1, "30 ms");
        row("one Status change, by Result", "BM_StatusChange", "us", 1000, "20 us");
        const double b10 = m_bytes["BM_MemoryPerLink/10000/iterations:1"];
        const double b100 = m_bytes["BM_MemoryPerLink/100000/iterations:1"];
        std::printf("%-34s %10.0f B %10.0f B %7.2fx %12s %9s %10s\n", "memory per link beyond texts", b10, b100,
                    b100 / b10, "-", "-", "300 B");
    }

private:
    static double factor(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1;
        default: return 1e3;
        }
    }

    void row(const char* title, const std::string& name, const char* unit, double scale, const char* target)
    {
        const double a = m_ms[name + "/10000"] * scale;
        const double b = m_ms[name + "/100000"] * scale;
        const double peer = m_ms[name + "_Peer/100000"] * scale;
        std::printf("%-34s %9.3f %s %9.3f %s %7.2fx %9.3f %s %8.3fx %10s\n", title, a, unit, b, unit, b / a, peer, unit,
                    b / peer, target);
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_bytes;
};

}  // namespace

BENCHMARK(BM_LoadLinks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLinks_Peer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLinks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLinks_Peer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByUrl)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByUrl_Peer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterSwitch)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterSwitch_Peer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusChange)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusChange_Peer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryPerLink)->Arg(10000)->Arg(100000)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
