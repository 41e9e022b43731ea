// The main window at 100,000 links and 50 websites: start-up until painted, switching the website,
// sorting a column. Each figure stands beside the same work done by the links list without a view.
// Last, what one save of the links costs the UI thread, beside writing them there outright.
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/QuorvaneApplication.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "model/AppDir.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"
#include "model/WebsiteTree.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

int LinkCount = 100000;
constexpr int WebsiteCount = 50;
constexpr int Rounds = 5;

WebsiteTree Websites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    for (int i = 1; i <= WebsiteCount; ++i)
        websites.append({"Website " + QByteArray::number(i), "site" + QByteArray::number(i) + ".example", i});
    return websites;
}

std::vector<LinkRecord> Links()
{
    std::vector<LinkRecord> links;
    links.reserve(LinkCount);
    for (int i = 0; i < LinkCount; ++i) {
        auto link = std::make_shared<rMonitorInfo>();
        link->SiteId = 1 + (i * 7919) % WebsiteCount;
        link->PageUrl = "http://www.partner" + QByteArray::number((i * 104729) % LinkCount) + ".example/links.html";
        link->FirstName = "First" + QByteArray::number(i % 97);
        link->LastName = "Last" + QByteArray::number(i % 89);
        link->Email = "contact" + QByteArray::number(i) + "@partner.example";
        link->Created = 45000 + i * 0.001;
        link->LastCheck = i % 3 ? 46000 + i * 0.0001 : 0;
        links.push_back(link);
    }
    return links;
}

// The median of a few rounds, in milliseconds.
double Median(const std::function<void(int)>& round)
{
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        round(i);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const char* what, double window, double list, double target)
{
    std::fflush(stdout);
    std::printf("%-40s window %8.1f ms   list alone %8.1f ms   ratio %5.1f   target %6.0f ms\n", what, window, list,
                window / std::max(list, 0.001), target);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QuorvaneApplication app(argc, argv);
    if (argc > 1)
        LinkCount = std::atoi(argv[1]);
    QTemporaryDir dir;
    const QString appDir = dir.path() + u'/';
    ScopedAppDir scope(appDir);
    const WebsiteTree websites = Websites();
    SaveWebsites(appDir, websites);
    {
        LinkList links;
        links.appendMany(Links());
        SaveLinks(appDir, links, LocaleFormats::system());
    }

    const double loadAlone = Median([&](int) {
        LinkList links;
        LoadLinks(appDir, links, LocaleFormats::system());
    });
    const double start = Median([&](int) {
        TfrmMain window;
        window.show();
        QCoreApplication::processEvents();
        window.grab();
    });
    Report("start-up until painted", start, loadAlone, 1500);

    LinkList bare;
    LoadLinks(appDir, bare, LocaleFormats::system());
    TfrmMain window;
    window.show();
    QCoreApplication::processEvents();
    QWidget* viewport = window.linksPane().VSTItem()->viewport();

    const double switchAlone = Median([&](int i) { bare.ShowSiteItems(1 + i, websites); });
    const double switchWindow = Median([&](int i) {
        window.SelectWebsiteById(1 + i);
        viewport->repaint();
    });
    Report("switching the website", switchWindow, switchAlone, 100);

    window.websitesPane().focusRoot();
    bare.ShowAllItems();
    const double sortAlone = Median([&](int i) { bare.SortByColumn(1 + i % 2); });
    const double sortWindow = Median([&](int i) {
        window.VSTItemHeaderClick(1 + i % 2);
        viewport->repaint();
    });
    Report("sorting a column (all links shown)", sortWindow, sortAlone, 300);

    // The saver copies the rows on the UI thread and formats and writes them on its own; the event
    // that starts a write is the whole of its cost there.
    LinksSaver& saver = window.saver();
    saver.setDelays({0, 60000});
    std::vector<double> starts;
    for (int i = 0; i < Rounds; ++i) {
        saver.noteChange(LinksSaver::Change::Edit);
        QElapsedTimer timer;
        timer.start();
        while (!saver.writing())
            QCoreApplication::processEvents();
        starts.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        while (saver.writing())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    std::sort(starts.begin(), starts.end());
    const double saveInBackground = starts[starts.size() / 2];
    const double saveOutright = Median([&](int) { SaveLinks(appDir, window.links(), LocaleFormats::system()); });
    std::printf("%-40s UI thread %8.1f ms   SaveLinks outright %8.1f ms   ratio %6.3f\n", "saving the links",
                saveInBackground, saveOutright, saveInBackground / std::max(saveOutright, 0.001));
    std::fflush(stdout);
    return 0;
}
