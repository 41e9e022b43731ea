// The page analysis against the verdict's byte search, which reads every page a check fetches.
//
// 1. The analyser alone on a realistic 1 MB and 16 MB page (a blog's archive: articles with
//    inline markup, entities, UTF-8 text, images, tables, comments, scripts, and the link to the
//    website in the footer, so that every link is looked at): MB/s beside the byte search's over
//    the same page, and the analysis' peak memory (growth of a child process's peak resident
//    size over one that only searches, and the parser arena's own figure).
// 2. Checks per second of fetching 10,000 small partner pages from a local server with 100 at
//    once, a fresh client per page as the checks do: the verdict alone, then the verdict with the
//    details of every fetch built and analysed.

#include "check/FetchDetails.h"
#include "check/HtmlDocument.h"
#include "check/HttpClient.h"
#include "check/PageAnalysis.h"
#include "check/PageMatch.h"

#include "support/EpollPageServer.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray Website = "www.my-site.test";
const QByteArray PartnerUrl = "https://partner.test/archive/";

QByteArray Post(int i)
{
    const QByteArray n = QByteArray::number(i);
    QByteArray post = "<article class=\"post hentry\" id=\"post-" + n + "\">\n<h2 class=\"entry-title\"><a href=\"/" +
        n + "/a-title-for-post-" + n + "/\" rel=\"bookmark\">A title for post n\xc2\xb0" + n +
        " \xe2\x80\x94 caf\xc3\xa9 &amp; cr\xc3\xa8me</a></h2>\n<time datetime=\"2024-01-" + n.right(1) +
        "\">January " + n +
        "</time>\n<p>Lorem ipsum dolor sit amet, <em>consectetur</em> adipiscing elit, sed do "
        "eiusmod tempor incididunt ut labore &amp; dolore magna aliqua. <b>Ut enim</b> ad minim veniam, quis "
        "<a href=\"https://example" +
        QByteArray::number(i % 50) +
        ".test/page\">nostrud</a> exercitation ullamco laboris &mdash; nisi ut "
        "aliquip ex ea commodo consequat.</p>\n<p><img src=\"/img/" +
        n + ".jpg\" alt=\"Picture " + n +
        "\" width=\"640\" height=\"480\" loading=\"lazy\"> Duis aute irure dolor in reprehenderit in voluptate "
        "velit esse cillum dolore eu fugiat nulla pariatur.</p>\n<ul class=\"tags\"><li><a href=\"/tag/news\">news"
        "</a></li><li><a href=\"/tag/links\">links</a></li></ul>\n<!-- .entry-content " +
        n + " -->\n";
    if (i % 10 == 0)
        post += "<table><tr><th>Item</th><th>Price</th></tr><tr><td>One</td><td>1.00 &euro;</td></tr>"
                "<tr><td>Two</td><td>2.00 &euro;</td></tr></table>\n";
    if (i % 25 == 0)
        post += "<script>window.dataLayer=window.dataLayer||[];dataLayer.push({'post':" + n +
            ",'html':'<a href=\"x\">'});</script>\n";
    return post + "</article>\n";
}

QByteArray RealisticPage(qsizetype size)
{
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Archive</title>"
                      "<meta name=\"robots\" content=\"index, follow\"><link rel=\"canonical\" href=\"" +
        PartnerUrl +
        "\"><style>body{font:16px/1.5 serif}.post{margin:2em 0}</style></head>\n<body class=\"archive\">"
        "<header><nav><ul>";
    for (int i = 0; i < 12; ++i)
        page +=
            "<li><a href=\"/category/" + QByteArray::number(i) + "/\">Category " + QByteArray::number(i) + "</a></li>";
    page += "</ul></nav></header>\n<main>\n";
    for (int i = 0; page.size() < size - 2000; ++i)
        page += Post(i);
    page += "</main>\n<footer><h3>Blogroll</h3><ul>";
    for (int i = 0; i < 20; ++i)
        page += "<li><a href=\"https://friend" + QByteArray::number(i) + ".test/\">Friend " + QByteArray::number(i) +
            "</a></li>";
    page += "<li><a href=\"https://" + Website + "/\" rel=\"noopener\">My site</a></li></ul></footer></body></html>\n";
    return page;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// MB/s by the clock and per second of the thread's CPU time, which other work on a shared machine
// does not skew.
struct Speed {
    double wall = 0;
    double cpu = 0;
};

// Runs `work` as often as it takes to fill `budget` seconds (at least `least` times).
Speed Throughput(const QByteArray& page, double budget, int least, const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    int runs = 0;
    while (runs < least || Seconds(start) < budget) {
        work();
        ++runs;
    }
    const double bytes = static_cast<double>(page.size()) * runs / 1e6;
    return {bytes / Seconds(start), bytes / (ThreadCpuSeconds() - cpuStart)};
}

// The peak resident size, in KiB, of a child that runs `work` once.
long PeakInChild(const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

struct AloneFigures {
    QByteArray page;
    long searchPeakKiB = 0;
    long analysisPeakKiB = 0;
};

// Memory first, in children of a process that has not analysed anything yet, so that no heap the
// parent keeps from earlier runs hides what an analysis takes.
AloneFigures MeasureMemory(qsizetype size)
{
    AloneFigures figures;
    figures.page = RealisticPage(size);
    const QByteArray& page = figures.page;
    figures.searchPeakKiB = PeakInChild([&] {
        volatile bool found = MatchPage(page, Website);
        (void)found;
    });
    figures.analysisPeakKiB = PeakInChild([&] { AnalysePage(page, {}, PartnerUrl, Website); });
    return figures;
}

bool AnalysePageAlone(const AloneFigures& figures, const char* label)
{
    const QByteArray& page = figures.page;
    volatile bool found = false;
    LinkAnalysis analysis;
    const Speed analyser = Throughput(page, 3.0, 3, [&] { analysis = AnalysePage(page, {}, PartnerUrl, Website); });
    const Speed byteSearch = Throughput(page, 1.0, 10, [&] { found = MatchPage(page, Website); });
    const qsizetype arena = HtmlDocument(page).peakMemory();
    std::printf("%s page (%lld bytes, %lld links):\n", label, static_cast<long long>(page.size()),
                static_cast<long long>(page.count("<a ")));
    std::printf("  analyser   : %8.1f MB/s (%8.1f per CPU second)   peak memory +%.1f MiB (parser arena %.1f MiB, "
                "%.1fx the page)\n",
                analyser.wall, analyser.cpu,
                static_cast<double>(figures.analysisPeakKiB - figures.searchPeakKiB) / 1024,
                static_cast<double>(arena) / (1 << 20), static_cast<double>(arena) / static_cast<double>(page.size()));
    std::printf("  byte search: %8.1f MB/s (%8.1f per CPU second)\n", byteSearch.wall, byteSearch.cpu);
    std::printf(
        "  ratio      : the analyser runs at %.4fx the byte search's speed, %.4fx per CPU second (%s, \"%s\")\n",
        analyser.wall / byteSearch.wall, analyser.cpu / byteSearch.cpu,
        LinkKindName(analysis.kind).toByteArray().constData(), analysis.anchorText.constData());
    return analysis.kind == LinkKind::Followed && analysis.extent == AnalysisExtent::Whole;
}

constexpr int Pages = 10000;
constexpr int Parallel = 100;

QByteArray PartnerResponse()
{
    QByteArray body = "<html><head><title>Partners</title></head><body>\n";
    for (int i = 0; i < 20; ++i)
        body += "<p><a href=\"http://partner" + QByteArray::number(i) + ".test/\">Partner " + QByteArray::number(i) +
            "</a></p>\n";
    body += "<a href=\"http://" + Website + "/\">My site</a></body></html>\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
}

struct CheckFigures {
    double checksPerSecond = 0;
    double cpuMicrosPerCheck = 0;  // of this process; the server is another
    int found = 0;                 // checks that found the address (and, with details, a followed link)
};

CheckFigures RunChecks(const QByteArray& origin, bool withDetails)
{
    std::atomic<int> next{0};
    std::atomic<int> found{0};
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    std::vector<std::thread> threads;
    for (int t = 0; t < Parallel; ++t) {
        threads.emplace_back([&] {
            for (int i = next++; i < Pages; i = next++) {
                HttpClient client;
                const FetchResult fetch = client.get(origin + "/page" + QByteArray::number(i));
                bool ok = fetch && MatchPage(fetch.body, Website);
                if (withDetails)
                    ok = ok && DetailsOfFetch(fetch, Website).linkKind() == LinkKind::Followed;
                found += ok ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return {Pages / Seconds(start), (ProcessCpuSeconds() - cpuStart) / Pages * 1e6, found.load()};
}

}  // namespace

int main()
{
    const QByteArray response = PartnerResponse();
    const EpollPageServer server([&response](QByteArrayView) { return response; });

    const AloneFigures small = MeasureMemory(1000000);
    const AloneFigures large = MeasureMemory(16000000);
    bool met = AnalysePageAlone(small, "1 MB");
    met = AnalysePageAlone(large, "16 MB") && met;

    std::printf("%d partner pages of %d bytes, %d at once, local epoll server on port %u\n", Pages,
                static_cast<int>(response.size()), Parallel, server.port());
    RunChecks(server.origin(), true);  // warm up
    const CheckFigures plain = RunChecks(server.origin(), false);
    const CheckFigures detailed = RunChecks(server.origin(), true);
    std::printf("  verdict only        : %8.0f checks/s  %6.1f us CPU a check  (%d found)\n", plain.checksPerSecond,
                plain.cpuMicrosPerCheck, plain.found);
    std::printf("  verdict and details : %8.0f checks/s  %6.1f us CPU a check  (%d followed)\n",
                detailed.checksPerSecond, detailed.cpuMicrosPerCheck, detailed.found);
    const double ratio = detailed.checksPerSecond / plain.checksPerSecond;
    std::printf(
        "  ratio               : %.2fx checks/s, %.2fx CPU a check with the details (target >= 0.75x checks/s)\n",
        ratio, detailed.cpuMicrosPerCheck / plain.cpuMicrosPerCheck);
    met = met && ratio >= 0.75 && plain.found == Pages && detailed.found == Pages;
    std::printf("target %s\n", met ? "met" : "NOT met");
    return 0;
}
