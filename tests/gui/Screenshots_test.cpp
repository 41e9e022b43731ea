// Draws the pictures of the user guide and the README when QUORVANE_SCREENSHOTS names a folder to
// write them to; skipped otherwise.
#include "app/DetailsPane.h"
#include "app/HistoryTab.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/UnitMain.h"
#include "model/DataFiles.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "support/CheckFixture.h"
#include "support/FakePrompts.h"
#include "support/HistorySamples.h"
#include "support/TempAppDir.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const char* const Pages[] = {
    "http://www.gardenfriends.example/links.html", "https://blog.rosegrower.example/partners/",
    "http://www.seedswap.example/resources.php",   "https://www.compost-club.example/friends",
    "http://www.pondlife.example/links/",          "https://www.treeplanters.example/partners.html",
};

CheckFacts Facts(int variant, LinkKind kind, const char* anchor)
{
    CheckFacts facts = FollowedFacts(variant);
    facts.analysis.kind = kind;
    facts.analysis.anchorText = anchor;
    return facts;
}

TEST(Screenshots, GuidePictures)
{
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "set QUORVANE_SCREENSHOTS to a folder to draw the pictures";
    TempAppDir dir;
    InstalledFakePrompts prompts;
    dir.write(u"MySites.txt"_s, "My garden site|||mysite.example|||1|||\r\n");
    dir.write(u"config.ini"_s,
              "[Common]\r\nShowDetails=1\r\nDetailsHeight=230\r\nWindowWidth=900\r\n"
              "WindowHeight=600\r\n[ColumnWidth]\r\n1=220\r\n2=70\r\n6=110\r\n7=85\r\n9=110\r\n"
              "[ColumnVisible]\r\n3=0\r\n4=0\r\n5=0\r\n8=0\r\n10=0\r\n");
    LinkList list;
    {
        LinkList::Update update(list);
        for (int link = 0; link < 6; ++link) {
            auto record = std::make_shared<rMonitorInfo>();
            record->SiteId = 1;
            record->PageUrl = Pages[link];
            record->FirstName = QByteArrayList{"Ann", "Ben", "Cleo", "Dan", "Eve", "Finn"}[link];
            record->Created = MinuteAfterStart(-60 * 24 * 60);
            list.append(record);
        }
    }
    dir.write(u"Items.txt"_s, LinksFileText(list, LocaleFormats::system()));
    {
        HistoryStore store(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        for (int day = 0; day < 40; ++day) {
            const double at = MinuteAfterStart(day * 1440 + 600);
            for (int link = 0; link < 6; ++link) {
                const LinkKey key{1, Pages[link]};
                const double when = at + link * 0.0007;
                if (link == 0 && day >= 37)
                    store.record(key, Check(when, lsNotFound, FailedFacts("http-status", u"HTTP 404 Not Found"_s)));
                else if (link == 0 && day % 9 == 4)
                    store.record(key, Check(when, lsConnectionError, FailedFacts("connect-timeout", u"No answer"_s)));
                else if (link == 1)
                    store.record(
                        key,
                        Check(when, lsFound, Facts(day, day >= 39 ? LinkKind::Nofollow : LinkKind::Followed, "Roses")));
                else if (link == 2 && day >= 30)
                    store.record(key,
                                 Check(when, day == 39 ? lsFound : lsConnectionError,
                                       day == 39 ? Facts(day, LinkKind::Followed, "Seeds") : FailedFacts()));
                else if (link == 3)
                    store.record(key,
                                 Check(when, lsFound,
                                       Facts(day, LinkKind::Followed, day >= 39 ? "Our compost friends" : "Friends")));
                else
                    store.record(key, Check(when, lsFound, Facts(day, LinkKind::Followed, "My garden site")));
            }
        }
        ASSERT_TRUE(store.flush());
    }
    TfrmMain window;
    window.resize(900, 600);
    window.show();
    LinksPane& pane = window.linksPane();
    pane.setDetailsShown(true);
    pane.details()->setCurrentWidget(pane.details()->historyTab());
    QCoreApplication::processEvents();
    for (int r = 0; r < window.links().visibleCount(); ++r) {
        if (window.links().visibleRecord(r).PageUrl == Pages[0])
            pane.VSTItem()->setCurrentIndex(pane.VSTItem()->model()->index(r, 1));
    }
    HistoryTab& tab = *pane.details()->historyTab();
    ASSERT_TRUE(RunUntil([&] { return tab.summaryLabel()->text().contains(u"First checked"_s); }));
    ASSERT_TRUE(window.grab().save(out + u"/history.png"_s));

    pane.setDetailsShown(false);
    window.ShowChanges(true);
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.grab().save(out + u"/changes.png"_s));
}

}  // namespace
