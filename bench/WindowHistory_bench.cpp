// The main window at 100,000 links with a check history of 3,000,000 checks (30 each): start-up
// until painted, beside the same start-up with no history to read (its file cannot be opened, so
// the window goes on without one). Also how long the History tab's read of one link with 1,000
// checks takes on the UI thread.
#include "app/QuorvaneApplication.h"
#include "app/UnitMain.h"
#include "model/AppDir.h"
#include "model/DataFiles.h"
#include "model/HistorySchema.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "support/FakePrompts.h"
#include "support/HistorySamples.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Links = 100000;
constexpr int ChecksEach = 30;
constexpr int Rounds = 7;

QString CachedHistory()
{
    const QString path = QStringLiteral(QUORVANE_APPDIR "/../bench-data/History-typical-%1x%2-v%3.db")
                             .arg(Links)
                             .arg(ChecksEach)
                             .arg(HistorySchemaSteps().back().toVersion);
    QDir().mkpath(QFileInfo(path).path());
    if (QFile::exists(path) && RawValue(path, "SELECT count(*) FROM checks").toInt() == Links * ChecksEach)
        return path;
    QFile::remove(path);
    HistoryOptions options = TestHistoryOptions(5000);
    options.commitDelayMs = 100;
    HistoryStore store(path, {}, options);
    std::fprintf(stderr, "Building a history of %d checks (kept for later runs)...\n", Links * ChecksEach);
    for (int round = 0; round < ChecksEach; ++round) {
        for (int link = 0; link < Links; ++link)
            store.record(SampleLinkKey(link), TypicalCheck(link, round));
        store.flush();
    }
    return path;
}

void WriteData(const QString& appDir)
{
    QByteArray sites;
    for (int id = 1; id <= 20; ++id)
        sites += "Website " + QByteArray::number(id) + "|||mysite" + QByteArray::number(id) + ".example|||" +
            QByteArray::number(id) + "|||\r\n";
    QFile file(appDir + QStringLiteral("MySites.txt"));
    if (file.open(QIODevice::WriteOnly))
        file.write(sites);
    file.close();
    LinkList list;
    std::vector<LinkRecord> links;
    for (int i = 0; i < Links; ++i) {
        auto link = std::make_shared<rMonitorInfo>();
        const LinkKey key = SampleLinkKey(i);
        link->SiteId = key.siteId;
        link->PageUrl = key.pageUrl;
        link->FirstName = "Anna";
        link->Email = "anna@partner.test";
        link->Created = MinuteAfterStart(-100000);
        // As saved at the last close: to the second, at or before the latest recorded check.
        link->LastCheck = MinuteAfterStart((ChecksEach - 1) * 1440 + i % 1440);
        links.push_back(std::move(link));
    }
    list.appendMany(std::move(links));
    SaveLinks(appDir, list, LocaleFormats::system());
}

double StartUpMs(const QString& appDir)
{
    ScopedAppDir scope(appDir);
    QElapsedTimer timer;
    timer.start();
    TfrmMain window;
    window.show();
    QCoreApplication::processEvents();
    window.grab();
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QuorvaneApplication app(argc, argv);
    InstalledFakePrompts prompts;  // the warning of the folder without a usable history
    const QString history = CachedHistory();

    QTemporaryDir withDir;
    QTemporaryDir withoutDir;
    const QString with = withDir.path() + u'/';
    const QString without = withoutDir.path() + u'/';
    WriteData(with);
    WriteData(without);
    QFile::copy(history, with + QLatin1StringView(HistoryStore::FileName));
    QDir().mkpath(without + QLatin1StringView(HistoryStore::FileName));

    {
        HistoryStore store(with + QLatin1StringView(HistoryStore::FileName));
        QElapsedTimer timer;
        timer.start();
        const LatestChecks latest = store.latestChecks();
        std::printf("latestChecks alone: %.1f ms for %lld links\n", double(timer.nsecsElapsed()) / 1e6,
                    (long long)latest.size());
    }
    std::vector<double> withTimes;
    std::vector<double> withoutTimes;
    for (int round = 0; round < Rounds; ++round) {
        withoutTimes.push_back(StartUpMs(without));
        withTimes.push_back(StartUpMs(with));
    }
    const double a = Median(withTimes);
    const double b = Median(withoutTimes);
    std::printf("%-46s with history %8.1f ms   without %8.1f ms   ratio %5.2f   target 1.30\n",
                "start-up until painted, 100,000 links", a, b, a / std::max(b, 0.001));

    // One link with 1,000 checks, read as the History tab reads it.
    QTemporaryDir one;
    const QString file = one.path() + QStringLiteral("/History.db");
    {
        HistoryStore store(file, {}, TestHistoryOptions());
        for (int round = 0; round < 1000; ++round)
            store.record(SampleLinkKey(7), TypicalCheck(7, round));
        store.flush();
    }
    HistoryStore store(file, {}, TestHistoryOptions());
    std::vector<double> reads;
    std::vector<double> peers;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const auto entries = store.history(SampleLinkKey(7), 200);
        const HistorySummary summary = store.summary(SampleLinkKey(7));
        reads.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        const auto all = store.history(SampleLinkKey(7), 1000);
        peers.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (entries.empty() || summary.checkCount != 1000 || all.size() != 1000)
            std::fprintf(stderr, "unexpected history read\n");
    }
    std::printf("%-46s tab read %8.2f ms   all 1,000 checks %8.2f ms   ratio %5.2f\n",
                "History tab, one link with 1,000 checks", Median(reads), Median(peers),
                Median(reads) / std::max(Median(peers), 0.001));
    return 0;
}
