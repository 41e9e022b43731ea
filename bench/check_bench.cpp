// Checks per second, CPU and peak memory of quorvane-check on 10,000 partner pages from a local server
// with 100 at once. Half of the pages hold the address; one in ten is reached through three
// redirects. Beside it, on the same server and in the same run:
//  - ab's requests per second, a fresh connection per request: the server's ceiling;
//  - the fetch alone: the same pages fetched by the same client, configured from the same settings,
//    by 100 threads in a process of its own, a new client per page, nothing else;
//  - curl's parallel mode followed by a grep for the address.
// The server compresses a page (gzip) when the request asks for it: quorvane-check and curl are
// measured with compression off, and again with it on (curl with --compressed).
//
// quorvane-check analyses the links of each page unless told not to (--no-details). Its figures
// against ab and the fetch alone are taken without that analysis; the analysis is reported apart,
// and the comparisons with curl are made with it.
//
// Recording the checks in the history (the default) is reported apart too: every figure above is of
// runs with --no-record, as none of the peers keeps anything. Recording is measured against the same
// run with --no-record in pairs of runs one right after the other, which of the two goes first
// alternating. The difference is a few per cent, and a neighbour's load on a shared machine moves a
// single run by up to a fifth for seconds at a time: both runs of a pair see nearly the same machine,
// so the figure is the median of the pairs' ratios, shown with the middle half of them. It is taken
// twice:
//  - on the pages above, which come at once: checking is bound by the CPU alone, and the writer's
//    work shows in full. This is the worst case;
//  - on the same pages answered 20 ms after each request, which is still faster than nearly any site
//    on the Internet: what a user sees. Here a stall of the checks on the writer would show.
//
// The memory a running check costs is the growth of quorvane-check's peak resident size from a run
// with one check at a time to the run with 100, divided by the 99 extra checks.
//
// QUORVANE_BENCH_WRAP, when set, is a command (split at blanks) that the first measured quorvane-check
// run without the analysis is started under, a profiler for example: "perf record -g -o /tmp/check.data".

#include "check/ClientSettings.h"
#include "check/HttpClient.h"
#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/SettingsFile.h"

#include "support/EpollPageServer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr int Links = 10000;
constexpr int RecordingPairs = 11;
// Pages answering this long after the request: faster than nearly any site on the Internet.
constexpr std::chrono::milliseconds AnswerDelay{20};
constexpr int DelayedRecordingPairs = 5;
constexpr int HistoryDepth = 8;
constexpr int Parallel = 100;
const std::vector<std::string> NoRecord = {"--no-record"};
constexpr int Hops = 3;
// Every tenth link is behind Hops redirects.
constexpr int Requests = Links + Links / 10 * Hops;
const QByteArray Address = "www.my-site.test";

QByteArray Gzip(const QByteArray& data)
{
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

QByteArray Page(bool linking, bool compressed)
{
    QByteArray body = "<html><head><title>Partners</title></head><body>\n";
    for (int i = 0; i < 20; ++i)
        body += "<p><a href=\"http://partner" + QByteArray::number(i) + ".test/\">Partner " + QByteArray::number(i) +
            "</a></p>\n";
    if (linking)
        body += "<a href=\"http://" + Address + "/\">My site</a>";
    body += "</body></html>\n";
    if (compressed)
        body = Gzip(body);
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" +
        QByteArray(compressed ? "Content-Encoding: gzip\r\n" : "") +
        "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// "/yes/N" and "/no/N" are pages with and without the address; "/hop/K/yes/N" redirects K more times.
QByteArray Respond(QByteArrayView target, QByteArrayView head)
{
    static const QByteArray yes = Page(true, false);
    static const QByteArray no = Page(false, false);
    static const QByteArray yesGzip = Page(true, true);
    static const QByteArray noGzip = Page(false, true);
    const bool gzip = head.toByteArray().toLower().contains("\r\naccept-encoding: gzip");
    if (target.startsWith("/hop/")) {
        const qsizetype slash = target.indexOf('/', 5);
        const int left = target.sliced(5, slash - 5).toInt();
        const QByteArray next = left > 1 ? "/hop/" + QByteArray::number(left - 1) + target.sliced(slash).toByteArray()
                                         : target.sliced(slash).toByteArray();
        return "HTTP/1.1 302 Found\r\nLocation: " + next + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    if (gzip)
        return target.startsWith("/yes/") ? yesGzip : noGzip;
    return target.startsWith("/yes/") ? yes : no;
}

std::vector<QByteArray> Urls(const QByteArray& origin)
{
    std::vector<QByteArray> urls;
    for (int i = 0; i < Links; ++i) {
        const QByteArray page = QByteArray(i % 2 == 0 ? "/yes/" : "/no/") + QByteArray::number(i);
        urls.push_back(origin + (i % 10 == 5 ? "/hop/" + QByteArray::number(Hops) + page : page));
    }
    return urls;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Figures {
    double seconds = 0;
    double cpu = 0;
    long peakKiB = 0;
    int found = -1;
    double checksPerSecond() const { return Links / seconds; }
    double requestsPerSecond() const { return Requests / seconds; }
    double cpuPerCheckMs() const { return cpu / Links * 1000; }
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The command QUORVANE_BENCH_WRAP names, split at blanks.
std::vector<std::string> Wrapper()
{
    std::vector<std::string> words;
    for (const QByteArray& word : qgetenv("QUORVANE_BENCH_WRAP").split(' ')) {
        if (!word.isEmpty())
            words.push_back(word.toStdString());
    }
    return words;
}

// Runs a program with its standard output going to `outPath` and adds its time, CPU and peak memory.
bool RunProgram(const std::vector<std::string>& argv, const char* outPath, Figures& figures)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(out, STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    figures.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpu += CpuSeconds(usage);
    figures.peakKiB = std::max(figures.peakKiB, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) != 127;
}

// Every page is on the one loopback host, so the limit per host is off, as for curl.
void WriteSettings(const QTemporaryDir& appDir, int threadCount, bool compression)
{
    WriteFile(appDir.filePath(QStringLiteral("config.ini")),
              "[Common]\r\nThreadCount=" + QByteArray::number(threadCount) +
                  "\r\n[Connect]\r\nPerHostLimit=0\r\nCompression=" + QByteArray(compression ? "1" : "0") + "\r\n");
}

// With noDetails, quorvane-check leaves out the analysis of the links.
Figures RunChecks(const QTemporaryDir& appDir, int threadCount, bool compression, bool noDetails, bool wrapped = false,
                  const std::vector<std::string>& options = {})
{
    WriteSettings(appDir, threadCount, compression);
    const QString out = appDir.filePath(QStringLiteral("out.txt"));
    std::vector<std::string> argv = wrapped ? Wrapper() : std::vector<std::string>();
    argv.insert(argv.end(), {QUORVANE_APPDIR "/quorvane-check", "--appdir", appDir.path().toStdString()});
    if (noDetails)
        argv.push_back("--no-details");
    argv.insert(argv.end(), options.begin(), options.end());
    Figures figures;
    if (!RunProgram(argv, out.toLocal8Bit().constData(), figures)) {
        std::fprintf(stderr, "cannot run quorvane-check\n");
        std::exit(1);
    }
    const QByteArray output = ReadFile(out);
    figures.found = static_cast<int>(output.count("found\t") - output.count("not-found\t"));
    return figures;
}

// The child's part of RunFetchAlone: every link fetched as a check fetches it, a new client per
// page configured from the settings file, `parallel` at a time; then the number of pages that hold
// the address on standard output.
int FetchAlone(const char* origin, const char* settingsPath, int parallel)
{
    const HttpClientConfig config = ClientConfigFromSettings(SettingsFile(QString::fromLocal8Bit(settingsPath)));
    const std::vector<QByteArray> urls = Urls(origin);
    std::atomic<int> next{0};
    std::atomic<int> found{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < parallel; ++t) {
        threads.emplace_back([&] {
            for (int i = next++; i < static_cast<int>(urls.size()); i = next++) {
                const FetchResult page = HttpClient(config).get(urls[static_cast<std::size_t>(i)]);
                if (page && page.body.contains(Address))
                    ++found;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::printf("%d\n", found.load());
    return 0;
}

Figures RunFetchAlone(const char* self, const QByteArray& origin, const QTemporaryDir& appDir)
{
    WriteSettings(appDir, Parallel, false);
    const QString out = appDir.filePath(QStringLiteral("fetched.txt"));
    Figures figures;
    if (!RunProgram({self, "--fetch-alone", origin.toStdString(),
                     appDir.filePath(QStringLiteral("config.ini")).toStdString(), std::to_string(Parallel)},
                    out.toLocal8Bit().constData(), figures)) {
        std::fprintf(stderr, "cannot run the fetch alone\n");
        std::exit(1);
    }
    figures.found = ReadFile(out).trimmed().toInt();
    return figures;
}

// ab's requests per second for one page, Parallel at once, a fresh connection each; nothing when ab
// is not installed or fails.
std::optional<double> RunAb(const QByteArray& origin, const QTemporaryDir& work)
{
    const QString out = work.filePath(QStringLiteral("ab.txt"));
    Figures figures;
    if (!RunProgram({"ab", "-q", "-n", std::to_string(Requests), "-c", std::to_string(Parallel),
                     (origin + "/yes/1").toStdString()},
                    out.toLocal8Bit().constData(), figures))
        return std::nullopt;
    const QByteArray report = ReadFile(out);
    const qsizetype at = report.indexOf("Requests per second:");
    if (at < 0 || !report.contains("Failed requests:        0"))
        return std::nullopt;
    const QByteArray line = report.sliced(at + 20, report.indexOf('\n', at) - at - 20).trimmed();
    return line.split(' ').value(0).toDouble();
}

Figures RunCurl(const std::vector<QByteArray>& urls, const QTemporaryDir& work, bool compressed)
{
    const QString pages = work.filePath(QStringLiteral("pages"));
    QDir().mkpath(pages);
    QByteArray config;
    for (std::size_t i = 0; i < urls.size(); ++i)
        config += "url = \"" + urls[i] + "\"\noutput = \"" + pages.toLocal8Bit() + "/" + QByteArray::number(i) + "\"\n";
    const QString configPath = work.filePath(QStringLiteral("curl.cfg"));
    WriteFile(configPath, config);
    Figures figures;
    const std::string max = std::to_string(Parallel);
    std::vector<std::string> argv = {"curl",
                                     "--silent",
                                     "--no-progress-meter",
                                     "--show-error",
                                     "--fail",
                                     "--location",
                                     "--max-redirs",
                                     "14",
                                     "--parallel",
                                     "--parallel-max",
                                     max,
                                     "--config",
                                     configPath.toStdString()};
    if (compressed)
        argv.push_back("--compressed");
    const bool curlRan = RunProgram(argv, "/dev/null", figures);
    // The same test as a check: the address anywhere in the page, ASCII letters folded, as bytes.
    const QString listed = work.filePath(QStringLiteral("grep.txt"));
    ::setenv("LC_ALL", "C", 1);
    const bool grepRan = RunProgram({"grep", "-r", "-l", "-i", "-F", "-a", Address.toStdString(), pages.toStdString()},
                                    listed.toLocal8Bit().constData(), figures);
    if (!curlRan || !grepRan) {
        std::fprintf(stderr, "cannot run curl or grep\n");
        std::exit(1);
    }
    figures.found = static_cast<int>(ReadFile(listed).count('\n'));
    return figures;
}

// Recording against the same run with --no-record, in pairs of runs one right after the other,
// which of the two goes first alternating.
struct RecordingCost {
    std::vector<Figures> recording;
    std::vector<Figures> notRecording;
    std::vector<double> speeds;  // per pair: recording's checks/s over --no-record's
    std::vector<double> cpus;
};

RecordingCost MeasureRecording(const QTemporaryDir& appDir, int pairs)
{
    RecordingCost cost;
    for (int pair = 0; pair < pairs; ++pair) {
        const auto record = [&] { cost.recording.push_back(RunChecks(appDir, Parallel, false, false)); };
        const auto dontRecord = [&] {
            cost.notRecording.push_back(RunChecks(appDir, Parallel, false, false, false, NoRecord));
        };
        if (pair % 2 == 0) {
            dontRecord();
            record();
        } else {
            record();
            dontRecord();
        }
        cost.speeds.push_back(cost.recording.back().checksPerSecond() / cost.notRecording.back().checksPerSecond());
        cost.cpus.push_back(cost.recording.back().cpu / cost.notRecording.back().cpu);
    }
    return cost;
}

// The value below which a fraction `q` of the values lie, the nearest of them.
double Quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

void PrintRecordingCost(const char* name, const RecordingCost& cost)
{
    const double speed = Median(cost.speeds);
    std::printf("%-32s: %.2fx checks/s, %.2fx CPU (medians of %zu pairs' ratios, the middle half of them %.2f to "
                "%.2fx); target (>= 0.95x) %s\n",
                name, speed, Median(cost.cpus), cost.speeds.size(), Quantile(cost.speeds, 0.25),
                Quantile(cost.speeds, 0.75), speed >= 0.95 ? "met" : "NOT met");
}

void Print(const char* name, const Figures& f)
{
    std::printf(
        "%-32s: %8.0f checks/s  %8.0f requests/s  %6.2f CPU s  %6.3f CPU ms/check  %6.1f MiB peak  (%d found)\n", name,
        f.checksPerSecond(), f.requestsPerSecond(), f.cpu, f.cpuPerCheckMs(), static_cast<double>(f.peakKiB) / 1024,
        f.found);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && QByteArrayView(argv[1]) == "--fetch-alone")
        return FetchAlone(argv[2], argv[3], std::atoi(argv[4]));

    EpollPageServer server(Respond);
    const std::vector<QByteArray> urls = Urls(server.origin());

    QTemporaryDir appDir;
    QByteArray items;
    const LocaleFormats formats = LocaleFormats::system();
    for (const QByteArray& url : urls) {
        rMonitorInfo link;
        link.SiteId = 1;
        link.PageUrl = url;
        items += LinkToLine(link, formats) + "\r\n";
    }
    WriteFile(appDir.filePath(QStringLiteral("MySites.txt")), WebsiteToLine({"My site", Address, 1}) + "\r\n");
    WriteFile(appDir.filePath(QStringLiteral("Items.txt")), items);
    std::printf("%d links (%d%% with the address, 1 in 10 behind %d redirects: %d requests), %d at once, local "
                "epoll server on port %u\n",
                Links, 50, Hops, Requests, Parallel, server.port());

    // Warm up: page cache, the loader, the server's first connections; and a history of eight checks
    // a link, which the recording runs below add to.
    for (int run = 0; run < HistoryDepth; ++run)
        RunChecks(appDir, Parallel, false, false);
    const Figures single = RunChecks(appDir, 1, false, true, false, NoRecord);
    // The link analysis off and on, alternately, each figure the median of three runs, so that a
    // neighbour's load on the machine hits both alike. The check's own costs are those without it.
    std::vector<Figures> off;
    std::vector<Figures> on;
    for (int run = 0; run < 3; ++run) {
        off.push_back(RunChecks(appDir, Parallel, false, true, run == 0, NoRecord));
        on.push_back(RunChecks(appDir, Parallel, false, false, false, NoRecord));
    }
    const auto median = [](std::vector<Figures> runs) {
        std::sort(runs.begin(), runs.end(), [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
        return runs[runs.size() / 2];
    };
    const Figures ours = median(off);
    const Figures analysed = median(on);
    const Figures fetchAlone = RunFetchAlone(argv[0], server.origin(), appDir);
    const std::optional<double> ab = RunAb(server.origin(), appDir);
    const Figures oursCompressed = RunChecks(appDir, Parallel, true, false, false, NoRecord);
    const RecordingCost instant = MeasureRecording(appDir, RecordingPairs);
    // curl's pages go to memory when there is a tmpfs, so that it does not wait for a disk.
    const QString tmp = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir curlDir(tmp + QStringLiteral("/quorvane-bench-XXXXXX"));
    const Figures curl = RunCurl(urls, curlDir, false);
    QTemporaryDir curlCompressedDir(tmp + QStringLiteral("/quorvane-bench-XXXXXX"));
    const Figures curlCompressed = RunCurl(urls, curlCompressedDir, true);
    server.setAnswerDelay(AnswerDelay);
    const RecordingCost delayed = MeasureRecording(appDir, DelayedRecordingPairs);

    Print("quorvane-check, analysis off", ours);
    Print("the fetch alone", fetchAlone);
    if (ab)
        std::printf("%-32s: %8s checks/s  %8.0f requests/s\n", "ab, one page, a connection each", "", *ab);
    else
        std::printf("ab                              : not installed, or it failed\n");
    const double cpuRatio = ours.cpuPerCheckMs() / fetchAlone.cpuPerCheckMs();
    const double abRatio = ab ? ours.requestsPerSecond() / *ab : 0;
    std::printf("ratio against the fetch alone   : %.2fx CPU per check\n", cpuRatio);
    if (ab)
        std::printf("ratio against ab                : %.2fx requests/s\n", abRatio);
    Print("quorvane-check", analysed);
    const double analysisSpeed = analysed.checksPerSecond() / ours.checksPerSecond();
    std::printf("analysis on against off         : %.2fx checks/s, %.2fx CPU, %.3f CPU ms/check more\n", analysisSpeed,
                analysed.cpu / ours.cpu, analysed.cpuPerCheckMs() - ours.cpuPerCheckMs());
    Print("curl + grep", curl);
    const double speed = analysed.checksPerSecond() / curl.checksPerSecond();
    std::printf("ratio against curl              : %.2fx checks/s, %.2fx CPU, %.2fx peak memory\n", speed,
                analysed.cpu / curl.cpu, static_cast<double>(analysed.peakKiB) / static_cast<double>(curl.peakKiB));
    const bool analysisMet = analysisSpeed >= 0.75 && speed >= 1.5 && ours.found == Links / 2;
    std::printf("target (analysis on >= 0.75x off and >= 1.5x curl + grep in checks/s) %s\n",
                analysisMet ? "met" : "NOT met");
    Print("quorvane-check, compression on", oursCompressed);
    Print("curl --compressed + grep", curlCompressed);
    const double compressedSpeed = oursCompressed.checksPerSecond() / curlCompressed.checksPerSecond();
    std::printf("ratio, compressed               : %.2fx checks/s, %.2fx CPU\n", compressedSpeed,
                oursCompressed.cpu / curlCompressed.cpu);
    std::printf("compression on against off      : %.2fx checks/s, %.2fx CPU\n",
                oursCompressed.checksPerSecond() / analysed.checksPerSecond(), oursCompressed.cpu / analysed.cpu);
    Print("quorvane-check, recording", median(instant.recording));
    Print("quorvane-check --no-record", median(instant.notRecording));
    PrintRecordingCost("recording against --no-record", instant);
    const std::string delayedName = "the same, pages in " + std::to_string(AnswerDelay.count()) + " ms";
    PrintRecordingCost(delayedName.c_str(), delayed);
    const double perCheckKiB = static_cast<double>(ours.peakKiB - single.peakKiB) / (Parallel - 1);
    std::printf("memory per running check: %.1f KiB (peak %.1f MiB with 1 at once, %.1f MiB with %d)\n", perCheckKiB,
                static_cast<double>(single.peakKiB) / 1024, static_cast<double>(ours.peakKiB) / 1024, Parallel);
    const bool allFound = ours.found == Links / 2 && analysed.found == Links / 2 && oursCompressed.found == Links / 2 &&
        fetchAlone.found == Links / 2 && curl.found == Links / 2 && curlCompressed.found == Links / 2;
    const bool met = (!ab || abRatio >= 0.5) && cpuRatio <= 2.0 && speed >= 1.0 && compressedSpeed >= 1.0 &&
        perCheckKiB <= 64 && allFound;
    std::printf("target (>= 0.5x ab's requests/s, <= 2.0x the fetch alone's CPU per check, >= 1.0x curl's checks/s, "
                "<= 64 KiB a running check, %d found by all) %s\n",
                Links / 2, met ? "met" : "NOT met");
    return 0;
}
