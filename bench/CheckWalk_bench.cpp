// A check walk in the main window: 10,000 links (or as many as the first argument says) at 100 checks
// at once against a local server, with the list sorted by its result column, so that every verdict
// moves a row. The figures are the walk's checks per second beside quorvane-check's on the same
// links, and the longest event-loop iteration during the walk (how long the window may have stood
// still).
#include "app/QuorvaneApplication.h"
#include "app/UnitMain.h"
#include "check/CheckDispatcher.h"
#include "model/AppDir.h"
#include "model/CachedFile.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/Records.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"
#include "support/EpollPageServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

int LinkCount = 10000;
constexpr int ThreadCount = 100;
const QByteArray Address = "www.my-site.example";

QByteArray Respond(QByteArrayView target)
{
    // Every other page links back.
    const bool linked = target.endsWith("0") || target.endsWith("2") || target.endsWith("4") || target.endsWith("6") ||
        target.endsWith("8");
    const QByteArray body = "<html><body><p>Partners</p>" +
        (linked ? "<a href=\"http://" + Address + "/\">us</a>" : QByteArray("<a>none</a>")) + QByteArray(2000, ' ') +
        "</body></html>";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
}

void WriteFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// The longest gap between two turns of the event loop, as seen by a timer that wants to run every
// few milliseconds. A timer of no interval would see every turn, but it keeps the loop from ever
// sleeping, and the UI thread would then burn a core the window does not burn. A gap is at most one
// interval longer than the turn that caused it, so the figure errs on the long side.
class LoopWatch {
public:
    LoopWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return static_cast<double>(m_longest) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

constexpr int Rounds = 3;

// One walk: its wall-clock time, the CPU time of the process, and of the UI thread (the window's).
struct Round {
    double seconds = 0;
    double cpu = 0;
    double uiCpu = 0;
};

Round Median(std::vector<Round> rounds)
{
    std::sort(rounds.begin(), rounds.end(), [](const Round& a, const Round& b) { return a.seconds < b.seconds; });
    return rounds[rounds.size() / 2];
}

double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds()
{
    timespec time{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const EpollPageServer server(Respond);
    QuorvaneApplication app(argc, argv);
    if (argc > 1)
        LinkCount = std::atoi(argv[1]);

    QTemporaryDir dir;
    const QString appDir = dir.path() + u'/';
    const LocaleFormats formats = LocaleFormats::system();
    QByteArray items;
    for (int i = 0; i < LinkCount; ++i) {
        rMonitorInfo link;
        link.SiteId = 1;
        link.PageUrl = server.origin() + "/partner/" + QByteArray::number(i);
        items += LinkToLine(link, formats) + "\r\n";
    }
    WriteFile(appDir + QStringLiteral("MySites.txt"), WebsiteToLine({"My site", Address, 1}) + "\r\n");
    WriteFile(appDir + QStringLiteral("Items.txt"), items);
    WriteFile(appDir + QStringLiteral("config.ini"),
              "[Common]\r\nThreadCount=" + QByteArray::number(ThreadCount) +
                  "\r\n[Connect]\r\nPerHostLimit=0\r\n");  // every page is on the one loopback host
    // As with a user who starts a walk: the settings last changed longer ago than a file system's clock
    // tick, so that both programs may reuse what they read of config.ini.
    std::this_thread::sleep_for(CachedFile::DefaultTrustAfter + std::chrono::milliseconds(100));

    // The peer and the window take turns, three rounds each, and each figure is the median of its
    // rounds, so that a neighbour's load on the machine hits both alike. Each walk runs in a window
    // of its own, which starts from what the files and the history hold, as the peer does.
    std::vector<Round> peerRounds;
    std::vector<Round> walkRounds;
    double longestMs = 0;
    int found = 0;
    int checked = 0;
    std::uint64_t settingsReads = 0;
    for (int round = 0; round < Rounds; ++round) {
        // The page server is a child that runs on to the end, so the children's CPU time is the peer's.
        const double peerCpuBefore = CpuSeconds(RUSAGE_CHILDREN);
        QElapsedTimer peerClock;
        peerClock.start();
        QProcess peer;
        peer.setStandardOutputFile(QProcess::nullDevice());
        peer.start(QStringLiteral(QUORVANE_APPDIR "/quorvane-check"), {QStringLiteral("--appdir"), appDir});
        if (!peer.waitForFinished(600000) || peer.exitStatus() != QProcess::NormalExit) {
            std::fprintf(stderr, "cannot run quorvane-check\n");
            return 1;
        }
        peerRounds.push_back(
            {static_cast<double>(peerClock.nsecsElapsed()) / 1e9, CpuSeconds(RUSAGE_CHILDREN) - peerCpuBefore, 0});

        ScopedAppDir scope(appDir);
        TfrmMain window;
        window.show();
        window.ArrangeItem(0);  // by result
        QCoreApplication::processEvents();

        LoopWatch watch;
        watch.start();
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        const double uiCpuBefore = ThreadCpuSeconds();
        QElapsedTimer walkClock;
        walkClock.start();
        window.StartAll();
        window.dispatcher().WaitUntilIdle();
        walkRounds.push_back({static_cast<double>(walkClock.nsecsElapsed()) / 1e9, CpuSeconds(RUSAGE_SELF) - cpuBefore,
                              ThreadCpuSeconds() - uiCpuBefore});
        watch.stop();
        std::printf(
            "round %d       : window %6.0f checks/s, %5.1f us CPU a check (UI thread %5.1f us); quorvane-check %6.0f "
            "checks/s, %5.1f us\n",
            round + 1, LinkCount / walkRounds.back().seconds, walkRounds.back().cpu / LinkCount * 1e6,
            walkRounds.back().uiCpu / LinkCount * 1e6, LinkCount / peerRounds.back().seconds,
            peerRounds.back().cpu / LinkCount * 1e6);
        longestMs = std::max(longestMs, watch.longestMs());
        found = 0;
        checked = 0;
        window.links().forEachRow([&](const rMonitorInfo& link) {
            found += link.Status == lsFound ? 1 : 0;
            checked += link.Status == lsFound || link.Status == lsNotFound ? 1 : 0;
        });
        settingsReads = window.settings().fileReads();
        // The window's close would save the verdicts into the temporary AppDir; nothing needs them.
        window.dispatcher().shutdown();
    }
    const Round peerRound = Median(peerRounds);
    const Round walkRound = Median(walkRounds);
    const double walkSeconds = walkRound.seconds;
    const double walkCpu = walkRound.cpu;
    const double uiCpu = walkRound.uiCpu;
    const double peerSeconds = peerRound.seconds;
    const double peerCpu = peerRound.cpu;
    const double ours = LinkCount / walkSeconds;
    const double theirs = LinkCount / peerSeconds;
    std::printf("%d links, %d at once, list sorted by result, local epoll server on port %u; medians of %d rounds\n",
                LinkCount, ThreadCount, server.port(), Rounds);
    std::printf("window walk   : %8.0f checks/s  (%d checked, %d found)  longest event-loop iteration %.1f ms\n", ours,
                checked, found, longestMs);
    std::printf("quorvane-check: %8.0f checks/s\n", theirs);
    // Wall-clock figures suffer most when other work shares the cores; the CPU time a check costs does
    // not.
    std::printf("CPU per check : window %.1f us (UI thread %.1f us), quorvane-check %.1f us, ratio %.2fx\n",
                walkCpu / LinkCount * 1e6, uiCpu / LinkCount * 1e6, peerCpu / LinkCount * 1e6, walkCpu / peerCpu);
    std::printf("config.ini    : read %llu times for the window's %d checks\n",
                static_cast<unsigned long long>(settingsReads), LinkCount);
    std::printf("ratio         : %.2fx checks/s\n", ours / theirs);
    const bool met = ours / theirs >= 0.8 && longestMs <= 50 && checked == LinkCount;
    std::printf("target (>= 0.8x quorvane-check's checks/s, longest iteration <= 50 ms, every link checked) %s\n",
                met ? "met" : "NOT met");
    return 0;
}
