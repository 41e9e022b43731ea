// Pages per second and CPU per page of the project's HTTP client against curl's parallel mode, both
// fetching the same 10,000 small pages from a local server, a fresh connection per page; then the
// bytes on the wire for a realistic 30 KB page with and without compression, and the peak resident
// memory of a fetch of a 200 MB answer, which the 64 MiB cap on a page must bound.
//
// The server is this program's own: a single-threaded epoll loop in a child process on 127.0.0.1
// with a port of its own, started before anything else and stopped when the measurements end (or
// after ten minutes in any case). It answers every request with the same small page and closes.
// Our client runs N threads, one fetch at a time each, a new client per page as the checks do;
// curl runs "--parallel --parallel-max N" over a config file of the same URLs. The client is
// measured bare and as the checks configure it (total time, retry, compression asked for; no limit
// per host, since every page is on the one loopback host).
//
// Peak memory is measured in a process of its own: this program started again with "--fetch URL".

#include "check/ClientSettings.h"
#include "check/HttpClient.h"
#include "model/SettingsFile.h"

#include "support/EpollPageServer.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

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
#include <zlib.h>

namespace {

constexpr int Pages = 10000;
constexpr qsizetype HugeBytes = qsizetype(200) * 1000 * 1000;
constexpr double CapMiB = 64;

QByteArray Gzip(const QByteArray& data, int level)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
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

// A partner page as sites write them: a head with styles and scripts, navigation, a long list of
// partner links with descriptions, a footer; words drawn from a fixed sequence so that every run
// serves the same bytes.
QByteArray RealisticPage()
{
    static const char* const Words[] = {
        "quality", "garden", "tools",  "review", "travel", "guide",  "local",   "family",  "recipes", "fitness",
        "photo",   "design", "studio", "market", "daily",  "news",   "craft",   "coffee",  "bikes",   "outdoor",
        "books",   "music",  "home",   "repair", "pets",   "health", "cooking", "wedding", "events",  "solar"};
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) & 0x7fff;
    };
    const auto word = [&] { return QByteArray(Words[next() % std::size(Words)]); };
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Our partners and friends</title>\n<style>\nbody{font-family:Arial,sans-serif;margin:0;"
                      "color:#333}\n.nav a{padding:4px 8px;color:#06c}\n.partner{border-bottom:1px solid #ddd;"
                      "padding:8px 0}\n.partner h3{margin:0;font-size:16px}\n.footer{font-size:12px;color:#777}\n"
                      "</style>\n<script>window.dataLayer=window.dataLayer||[];function gtag(){dataLayer.push("
                      "arguments);}gtag('js',new Date());</script>\n</head>\n<body>\n<div class=\"nav\">";
    for (int i = 0; i < 8; ++i)
        page += "<a href=\"/" + word() + "/\">" + word() + "</a>";
    page += "</div>\n<h1>Partners</h1>\n<ul class=\"partners\">\n";
    for (int i = 0; page.size() < 29000; ++i) {
        const QByteArray site = word() + "-" + word() + QByteArray::number(next() % 100);
        page += "<li class=\"partner\"><h3><a href=\"https://www." + site + ".example/\" rel=\"noopener\">" + word() +
            " " + word() + "</a></h3><p>" + word() + " " + word() + " " + word() + " and " + word() + " for " + word() +
            " " + word() + ".</p></li>\n";
    }
    page += "</ul>\n<a href=\"http://www.my-site.test/\">My site</a>\n<div class=\"footer\">&copy; 2026 " + word() +
        " " + word() + "</div>\n</body></html>\n";
    return page;
}

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

Figures RunClient(const std::vector<QByteArray>& urls, int parallel, const HttpClientConfig& config)
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
                HttpClient client(config);  // a fresh client, as every check makes
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

// What the memory measurement fetches: a 200 MB answer, framed by Content-Length, by the close or
// in chunks, a compression bomb, and a small page for the process's own size.
QByteArray Answer(QByteArrayView target, QByteArrayView head, const QByteArray& small, const QByteArray& realistic,
                  const QByteArray& realisticGzip, const QByteArray& bomb)
{
    if (target == "/realistic") {
        const bool gzip = head.toByteArray().toLower().contains("\r\naccept-encoding: gzip");
        const QByteArray& body = gzip ? realisticGzip : realistic;
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n" +
            QByteArray(gzip ? "Content-Encoding: gzip\r\n" : "") +
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    if (target == "/huge/length")
        return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(HugeBytes) + "\r\n\r\n" +
            QByteArray(HugeBytes, 'x');
    if (target == "/huge/close")
        return "HTTP/1.1 200 OK\r\n\r\n" + QByteArray(HugeBytes, 'x');
    if (target == "/huge/chunked") {
        const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
        QByteArray answer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        answer.reserve(HugeBytes + HugeBytes / 8);
        for (qsizetype sent = 0; sent < HugeBytes; sent += 0x10000)
            answer += chunk;
        return answer + "0\r\n\r\n";
    }
    if (target == "/huge/gzip")
        return "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + QByteArray::number(bomb.size()) +
            "\r\n\r\n" + bomb;
    return small;
}

// Peak resident memory, in MiB, of this program fetching `url` once in a process of its own; -1 when
// the fetch failed. The child tells its own high-water mark: the one the parent could read after it
// ends would include the parent's memory at the fork.
double FetchPeakMiB(const char* self, const QByteArray& url)
{
    int out[2];
    if (::pipe(out) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::execl(self, self, "--fetch", url.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray told;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return told.trimmed().toDouble() / 1024;
}

// The child's part of FetchPeakMiB: one fetch, as a check makes it, then the process's peak
// resident size in KiB ("VmHWM") on standard output.
int FetchOnce(const char* url)
{
    HttpClientConfig config;
    config.acceptCompression = true;
    const FetchResult result = HttpClient(config).get(url);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!result || !status.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            std::printf("%s\n", line.sliced(6).trimmed().split(' ').value(0).constData());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArrayView(argv[1]) == "--fetch")
        return FetchOnce(argv[2]);

    const QByteArray response = PageResponse();
    const QByteArray realistic = RealisticPage();
    const QByteArray realisticGzip = Gzip(realistic, Z_DEFAULT_COMPRESSION);
    const QByteArray bomb = Gzip(QByteArray(HugeBytes, '\0'), Z_BEST_SPEED);
    const EpollPageServer server([&](QByteArrayView target, QByteArrayView head) {
        return Answer(target, head, response, realistic, realisticGzip, bomb);
    });
    std::printf("%d pages of %d bytes from a local epoll server (child process, port %u), a new connection each\n",
                Pages, static_cast<int>(response.size()), server.port());
    // The client as the checks configure it by default, but for the limit per host.
    QTemporaryDir settingsDir;
    SettingsFile settings(settingsDir.filePath(QStringLiteral("config.ini")));
    settings.write(Keys::PerHostLimit, 0);
    const HttpClientConfig asChecks = ClientConfigFromSettings(settings);

    // Warm both up once: page cache, the dynamic loader, the first connections.
    RunClient(Urls(server.port(), 0), 16, {});
    RunCurl(Urls(server.port(), 0), 16);
    int round = 1;
    bool met = true;
    for (const int parallel : {16, 100}) {
        const Figures ours = RunClient(Urls(server.port(), round++), parallel, {});
        const Figures checks = RunClient(Urls(server.port(), round++), parallel, asChecks);
        const Figures curl = RunCurl(Urls(server.port(), round++), parallel);
        const double speed = ours.pagesPerSecond() / curl.pagesPerSecond();
        const double cpu = ours.cpuPerThousand() / curl.cpuPerThousand();
        std::printf("parallel %3d  HttpClient: %8.0f pages/s  %.3f CPU s/1000 pages  (%d failed)\n", parallel,
                    ours.pagesPerSecond(), ours.cpuPerThousand(), ours.failures);
        std::printf("parallel %3d  as checks : %8.0f pages/s  %.3f CPU s/1000 pages  (%d failed)\n", parallel,
                    checks.pagesPerSecond(), checks.cpuPerThousand(), checks.failures);
        std::printf("parallel %3d  curl      : %8.0f pages/s  %.3f CPU s/1000 pages  (%d failed)\n", parallel,
                    curl.pagesPerSecond(), curl.cpuPerThousand(), curl.failures);
        std::printf("parallel %3d  ratio     : %.2fx pages/s, %.2fx CPU per page (target >= 1.5x, <= 1.0x)\n", parallel,
                    speed, cpu);
        std::printf("parallel %3d  as checks against curl: %.2fx pages/s, %.2fx CPU per page\n", parallel,
                    checks.pagesPerSecond() / curl.pagesPerSecond(), checks.cpuPerThousand() / curl.cpuPerThousand());
        met = met && speed >= 1.5 && cpu <= 1.0 && ours.failures == 0 && checks.failures == 0 && curl.failures == 0;
    }

    // Bytes on the wire for one realistic page, asked for compressed and not.
    qint64 wire[2] = {0, 0};
    for (const bool compressed : {false, true}) {
        HttpClientConfig config;
        config.acceptCompression = compressed;
        const FetchResult page = HttpClient(config).get(server.origin() + "/realistic");
        met = met && page && page.body == realistic;
        wire[compressed] = page.bytesReceived;
    }
    std::printf("a %d-byte page on the wire: %lld bytes plain, %lld bytes compressed (%.2fx smaller)\n",
                static_cast<int>(realistic.size()), static_cast<long long>(wire[0]), static_cast<long long>(wire[1]),
                static_cast<double>(wire[0]) / static_cast<double>(wire[1]));

    // Peak memory of one fetch of 200 MB, beside that of a small page in the same kind of process.
    const double base = FetchPeakMiB(argv[0], server.origin() + "/small");
    std::printf("peak resident memory of a fetch: %.1f MiB for a small page\n", base);
    for (const char* kind : {"length", "close", "chunked", "gzip"}) {
        const double peak = FetchPeakMiB(argv[0], server.origin() + "/huge/" + kind);
        const bool within = peak >= 0 && peak - base <= CapMiB + 8;
        std::printf("  200 MB answer (%-7s): %6.1f MiB, %6.1f MiB above the small page (cap %.0f MiB + 8) %s\n", kind,
                    peak, peak - base, CapMiB, within ? "within" : "NOT within");
        met = met && within;
    }
    std::printf("target %s\n", met ? "met" : "NOT met");
    return 0;
}
