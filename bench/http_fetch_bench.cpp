// Pages per second and CPU per page of the project's HTTP client against curl's parallel mode, both
// fetching the same 10,000 small pages from a local server, a fresh connection per page.
//
// The server is this program's own: a single-threaded epoll loop in a child process on 127.0.0.1
// with a port of its own, started before anything else and stopped when the measurements end (or
// after ten minutes in any case). It answers every request with the same small page and closes.
// Our client runs N threads, one fetch at a time each, a new client per page as the checks do;
// curl runs "--parallel --parallel-max N" over a config file of the same URLs.

#include "check/HttpClient.h"

#include "support/EpollPageServer.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Pages = 10000;

QByteArray PageResponse()
{
    QByteArray body = "<html><head><title>Partners</title></head><body>\n";
    for (int i = 0; i < 20; ++i)
        body += "<p><a href=\"http://partner" + QByteArray::number(i) + ".test/\">Partner " + QByteArray::number(i) +
            "</a></p>\n";
    body += "<a href=\"http://www.my-site.test/\">My site</a></body></html>\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
}

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double seconds = 0;
    double cpu = 0;
    int failures = 0;
    double pagesPerSecond() const { return Pages / seconds; }
    double cpuPerThousand() const { return cpu / Pages * 1000; }
};

std::vector<QByteArray> Urls(quint16 port, int round)
{
    std::vector<QByteArray> urls;
    urls.reserve(Pages);
    for (int i = 0; i < Pages; ++i)
        urls.push_back("http://127.0.0.1:" + QByteArray::number(port) + "/r" + QByteArray::number(round) + "/page" +
                       QByteArray::number(i) + ".html");
    return urls;
}

Figures RunClient(const std::vector<QByteArray>& urls, int parallel)
{
    std::atomic<int> next{0};
    std::atomic<int> failures{0};
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < parallel; ++t) {
        threads.emplace_back([&] {
            for (int i = next++; i < static_cast<int>(urls.size()); i = next++) {
                HttpClient client;  // a fresh client, as every check makes
                const FetchResult result = client.get(urls[static_cast<std::size_t>(i)]);
                if (!result || !result.body.contains("www.my-site.test"))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    Figures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    figures.cpu = CpuSeconds(after) - CpuSeconds(before);
    figures.failures = failures;
    return figures;
}

Figures RunCurl(const std::vector<QByteArray>& urls, int parallel)
{
    char path[] = "/tmp/quorvane-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    QByteArray config;
    for (const QByteArray& url : urls)
        config += "url = \"" + url + "\"\noutput = \"/dev/null\"\n";
    if (fd < 0 || ::write(fd, config.constData(), static_cast<std::size_t>(config.size())) != config.size())
        std::exit(1);
    ::close(fd);
    const std::string max = std::to_string(parallel);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("curl", "curl", "--silent", "--no-progress-meter", "--show-error", "--fail", "--parallel",
                 "--parallel-max", max.c_str(), "--config", path, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpu = CpuSeconds(usage);
    figures.failures = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : Pages;
    ::unlink(path);
    return figures;
}

}  // namespace

int main()
{
    const QByteArray response = PageResponse();
    const EpollPageServer server([&response](QByteArrayView) { return response; });
    std::printf("%d pages of %d bytes from a local epoll server (child process, port %u), a new connection each\n",
                Pages, static_cast<int>(response.size()), server.port());
    // Warm both up once: page cache, the dynamic loader, the first connections.
    RunClient(Urls(server.port(), 0), 16);
    RunCurl(Urls(server.port(), 0), 16);
    int round = 1;
    bool met = true;
    for (const int parallel : {16, 100}) {
        const Figures ours = RunClient(Urls(server.port(), round++), parallel);
        const Figures curl = RunCurl(Urls(server.port(), round++), parallel);
        const double speed = ours.pagesPerSecond() / curl.pagesPerSecond();
        const double cpu = ours.cpuPerThousand() / curl.cpuPerThousand();
        std::printf("parallel %3d  HttpClient: %8.0f pages/s  %.3f CPU s/1000 pages  (%d failed)\n", parallel,
                    ours.pagesPerSecond(), ours.cpuPerThousand(), ours.failures);
        std::printf("parallel %3d  curl      : %8.0f pages/s  %.3f CPU s/1000 pages  (%d failed)\n", parallel,
                    curl.pagesPerSecond(), curl.cpuPerThousand(), curl.failures);
        std::printf("parallel %3d  ratio     : %.2fx pages/s, %.2fx CPU per page (target >= 1.5x, <= 1.0x)\n", parallel,
                    speed, cpu);
        met = met && speed >= 1.5 && cpu <= 1.0 && ours.failures == 0 && curl.failures == 0;
    }
    std::printf("target %s\n", met ? "met" : "NOT met");
    return 0;
}
