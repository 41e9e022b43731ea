#include "app/DetailsPane.h"
#include "app/HistoryTab.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/UnitMain.h"
#include "app/WindowHistory.h"
#include "check/CheckDispatcher.h"
#include "dialogs/UnitEditItem.h"
#include "model/DataFiles.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "support/CheckFixture.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/HistorySamples.h"
#include "support/QtPrinters.h"
#include "support/ScriptedServer.h"
#include "support/TempAppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Address = "www.my-site.example";
const QByteArray Found = "<a href=\"http://www.my-site.example/\">us</a>";
const QByteArray Missing = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";

// The main window over an AppDir with one website and links on the scripted server, and its
// check history, which a second store (as quorvane-check holds it) may write beside it.
class HistoryTest : public ::testing::Test {
protected:
    void writeData(const std::vector<double>& lastChecks, const QByteArray& check = "ConfirmPause=0\r\n")
    {
        dir.write(u"config.ini"_s, "[Common]\r\nThreadCount=1\r\n[Check]\r\n" + check);
        dir.write(u"MySites.txt"_s, "Mine|||" + Address + "|||1|||\r\n");
        LinkList list;
        {
            LinkList::Update update(list);
            for (std::size_t link = 0; link < lastChecks.size(); ++link) {
                auto record = std::make_shared<rMonitorInfo>();
                record->SiteId = 1;
                record->PageUrl = page(int(link));
                record->Created = MinuteAfterStart(0);
                record->LastCheck = lastChecks[link];
                list.append(record);
            }
        }
        dir.write(u"Items.txt"_s, LinksFileText(list, LocaleFormats::system()));
    }
    QByteArray page(int link) const { return server.url("/page" + QByteArray::number(link)); }
    LinkKey key(int link) const { return LinkKey{1, page(link)}; }

    void open()
    {
        window = std::make_unique<TfrmMain>();
        window->show();
    }
    void close()
    {
        window->close();
        window.reset();
    }
    const rMonitorInfo* find(int link) const
    {
        const rMonitorInfo* found = nullptr;
        window->links().forEachRow([&](const rMonitorInfo& row) {
            if (row.PageUrl == page(link))
                found = &row;
        });
        return found;
    }
    bool idle() const
    {
        return RunUntil([this] { return window->dispatcher().RunningChecks() == 0; });
    }
    // The history as another process sees it.
    std::vector<HistoryEntry> recorded(int link) const
    {
        HistoryStore other(dir.file(u"History.db"_s));
        return other.history(key(link));
    }

    ScriptedServer server;
    TempAppDir dir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(HistoryTest, AtStartUpALinkTakesItsLatestCheckOnlyWhenItIsAtOrAfterTheStoredLastCheck)
{
    const double stored = MinuteAfterStart(30);
    writeData({stored, stored, stored, 0});
    {
        // Recorded by another process: quorvane-check since the window closed, say.
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        other.record(key(0), Check(MinuteAfterStart(10), lsConnectionError, FailedFacts()));
        other.record(key(0), Check(MinuteAfterStart(45), lsFound, FollowedFacts()));
        other.record(key(1), Check(MinuteAfterStart(20), lsFound, FollowedFacts()));  // stale
        other.record(key(2), Check(stored, lsNotFound, FailedFacts("http-status", u"HTTP 404 Not Found"_s)));
        other.record(key(3), Check(MinuteAfterStart(5), lsFound, FollowedFacts()));
        ASSERT_TRUE(other.flush());
    }
    open();

    const rMonitorInfo* newer = find(0);
    ASSERT_NE(newer, nullptr);
    EXPECT_EQ(newer->Status, lsFound);
    EXPECT_EQ(newer->LastCheck, MinuteAfterStart(45));
    EXPECT_EQ(newer->Details.get(), CheckDetails(FollowedFacts()));
    EXPECT_EQ(newer->Changes, ChangeBack);

    EXPECT_EQ(find(1)->Status, lsUnchecked);
    EXPECT_EQ(find(1)->LastCheck, stored);
    EXPECT_TRUE(find(1)->Details.get().isNull());

    EXPECT_EQ(find(2)->Status, lsNotFound);
    EXPECT_EQ(find(2)->LastCheck, stored);
    // Never checked in this folder's files, but by quorvane-check.
    EXPECT_EQ(find(3)->Status, lsFound);
    EXPECT_EQ(find(3)->LastCheck, MinuteAfterStart(5));

    EXPECT_EQ(window->statusPanel(1)->text(), u" 2 found"_s);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// A link made after the latest check under its key (a restored backup, a reused website Id, a page
// added again) is another link than the one checked: it does not take that check, and the earlier
// link's history goes, unless a row made before the check still has the key.
TEST_F(HistoryTest, ALinkMadeAfterTheChecksUnderItsKeyTakesNoneOfThem)
{
    writeData({0, 0});
    {
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        other.record(key(0), Check(MinuteAfterStart(-10), lsFound, FollowedFacts()));
        other.record(key(1), Check(MinuteAfterStart(-10), lsFound, FollowedFacts()));
        ASSERT_TRUE(other.flush());
    }
    // The second page is kept twice, once by a row made before its check.
    LinkList list;
    LoadLinks(dir.path() + u'/', list, LocaleFormats::system());
    auto older = std::make_shared<rMonitorInfo>(*list.recordHandle(1));
    older->Created = MinuteAfterStart(-20);
    list.append(older);
    dir.write(u"Items.txt"_s, LinksFileText(list, LocaleFormats::system()));

    open();
    EXPECT_EQ(find(0)->Status, lsUnchecked);
    EXPECT_EQ(find(0)->LastCheck, 0);
    close();
    EXPECT_TRUE(recorded(0).empty());
    EXPECT_EQ(recorded(1).size(), 1u);

    // Checked now, the link starts a history of its own, with nothing changed.
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(find(0)->Changes, 0);
    close();
    ASSERT_EQ(recorded(0).size(), 1u);
    EXPECT_EQ(recorded(0)[0].changes, 0);
}

// Links added, imported or edited into a key during a session: the history under it goes unless a
// row that was there before has the key.
TEST_F(HistoryTest, ALinkAddedForgetsOnlyTheHistoryNoOtherRowHas)
{
    writeData({MinuteAfterStart(30)});
    {
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        other.record(key(0), Check(MinuteAfterStart(30), lsFound, FollowedFacts()));
        other.record(key(1), Check(MinuteAfterStart(20), lsFound, FollowedFacts()));  // of a deleted link
        ASSERT_TRUE(other.flush());
    }
    open();
    std::vector<const rMonitorInfo*> made;
    for (const int link : {0, 1}) {
        auto record = std::make_shared<rMonitorInfo>();
        record->SiteId = 1;
        record->PageUrl = page(link);
        record->Created = MinuteAfterStart(60);
        window->links().append(record);
        made.push_back(record.get());
    }
    window->history().forgetEarlierLinks(made, window->links());
    close();
    EXPECT_EQ(recorded(0).size(), 1u);
    EXPECT_TRUE(recorded(1).empty());
}

// A long list is matched on two threads; every record of either half must take its entry.
TEST(WindowHistoryRestore, EveryRecordOfALongListTakesItsOwnLatestCheck)
{
    TempAppDir dir;
    const int links = 30001;
    const auto keyOf = [](int link) {
        return LinkKey{1 + link % 3, "http://partner.example/" + QByteArray::number(link)};
    };
    {
        HistoryStore store(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        for (int link = 0; link < links; link += 2)
            store.record(keyOf(link),
                         Check(MinuteAfterStart(link % 50), link % 4 ? lsNotFound : lsFound, FollowedFacts()));
        ASSERT_TRUE(store.flush());
    }
    std::vector<LinkRecord> records;
    for (int link = 0; link < links; ++link) {
        auto record = std::make_shared<rMonitorInfo>();
        record->SiteId = keyOf(link).siteId;
        record->PageUrl = keyOf(link).pageUrl;
        records.push_back(std::move(record));
    }
    WindowHistory history([](const QString&) {});
    history.open(dir.path());
    history.restore(records);
    for (int link = 0; link < links; ++link) {
        const rMonitorInfo& record = *records[std::size_t(link)];
        if (link % 2) {
            ASSERT_EQ(record.Status, lsUnchecked) << link;
            ASSERT_EQ(record.LastCheck, 0) << link;
        } else {
            ASSERT_EQ(record.Status, link % 4 ? lsNotFound : lsFound) << link;
            ASSERT_EQ(record.LastCheck, MinuteAfterStart(link % 50)) << link;
        }
    }
}

TEST_F(HistoryTest, EveryCheckIsRecordedAndComesBackAfterARestartAndADeletedLinkTakesItsHistoryAlong)
{
    writeData({0, 0});
    open();
    server.answer(OkResponse(Found));
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(find(0)->Status, lsFound);
    EXPECT_EQ(find(1)->Status, lsConnectionError);
    close();

    ASSERT_EQ(recorded(0).size(), 1u);
    EXPECT_EQ(recorded(0)[0].check.verdict, lsFound);
    EXPECT_EQ(recorded(0)[0].check.details.linkKind(), LinkKind::Followed);
    ASSERT_EQ(recorded(1).size(), 1u);
    EXPECT_EQ(recorded(1)[0].check.details.httpStatus(), 404);

    open();
    EXPECT_EQ(find(0)->Status, lsFound);
    EXPECT_EQ(find(0)->Details.get().linkKind(), LinkKind::Followed);
    EXPECT_EQ(find(1)->Status, lsConnectionError);
    EXPECT_EQ(window->statusPanel(1)->text(), u" 1 found"_s);

    // Deleted: its history goes, the other link's stays.
    window->links().setSelected(window->links().rowOf(*find(1)), true);
    prompts.queueAnswer(true);
    window->DeleteSelected();
    close();
    EXPECT_TRUE(recorded(1).empty());
    EXPECT_EQ(recorded(0).size(), 1u);
}

TEST_F(HistoryTest, AStoreThatCannotBeUsedWarnsOnceAndCheckingAndSavingGoOn)
{
    writeData({0, 0});
    // A folder where the file should be: it can be neither opened nor set aside as damaged.
    ASSERT_TRUE(QDir().mkpath(dir.file(u"History.db"_s)));
    open();
    ASSERT_TRUE(RunUntil([this] { return !prompts.shown.isEmpty(); }));
    server.answer(OkResponse(Found));
    server.answer(OkResponse(Found));
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(find(0)->Status, lsFound);
    EXPECT_EQ(find(1)->Status, lsFound);
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Warning);
    EXPECT_TRUE(prompts.shown[0].text.contains(u"History.db"_s));
    close();
    EXPECT_GT(LinksFromText(dir.read(u"Items.txt"_s), LocaleFormats::system())[0]->LastCheck, 0.0);
}

TEST_F(HistoryTest, ADamagedStoreIsSetAsideWithOneWarningAndANewOneRecords)
{
    writeData({0});
    dir.write(u"History.db"_s, QByteArray(8192, 'x'));
    open();
    ASSERT_TRUE(RunUntil([this] { return !prompts.shown.isEmpty(); }));
    server.answer(OkResponse(Found));
    window->StartAll();
    ASSERT_TRUE(idle());
    close();
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList({u"History.db.damaged-*"_s}).size(), 1);
    EXPECT_EQ(recorded(0).size(), 1u);
}

TEST_F(HistoryTest, TheHistoryTabShowsTheFocusedLinksChecksNewestFirstAndFollowsNewOnes)
{
    writeData({0, 0});
    {
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        other.record(key(0), Check(MinuteAfterStart(1), lsFound, FollowedFacts()));
        other.record(key(0), Check(MinuteAfterStart(2), lsConnectionError, FailedFacts()));
        other.record(key(0), Check(MinuteAfterStart(3), lsFound, FollowedFacts(1)));
        ASSERT_TRUE(other.flush());
    }
    open();
    LinksPane& pane = window->linksPane();
    pane.setDetailsShown(true);
    pane.details()->setCurrentWidget(pane.details()->historyTab());
    HistoryTab& tab = *pane.details()->historyTab();
    EXPECT_EQ(pane.details()->tabText(1), u"History"_s);
    const int row = window->links().visibleIndexOf(*find(0));
    pane.VSTItem()->setCurrentIndex(pane.VSTItem()->model()->index(row, 1));
    ASSERT_TRUE(RunUntil([&] { return tab.table()->topLevelItemCount() == 3; }));
    EXPECT_EQ(tab.table()->topLevelItem(0)->text(0), HistoryTimeText(MinuteAfterStart(3)));
    EXPECT_EQ(tab.table()->topLevelItem(0)->text(1), u"Found"_s);
    EXPECT_EQ(tab.table()->topLevelItem(0)->text(5), u"back"_s);
    EXPECT_EQ(tab.table()->topLevelItem(1)->text(1), u"Connection error"_s);
    EXPECT_EQ(tab.table()->topLevelItem(2)->text(4), u"My garden site"_s);
    EXPECT_EQ(tab.strip()->verdicts(), (std::vector<LinkStatus>{lsFound, lsConnectionError, lsFound}));
    const QString summary = tab.summaryLabel()->text();
    EXPECT_TRUE(summary.contains(u"Found since "_s + HistoryTimeText(MinuteAfterStart(3)))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(u"First checked "_s + HistoryTimeText(MinuteAfterStart(1)))) << summary.toStdString();

    // A check of the focused link shows up once the history has it.
    for (int fetch = 0; fetch < 3; ++fetch)
        server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(idle());
    const int after = window->links().visibleIndexOf(*find(0));
    pane.VSTItem()->setCurrentIndex(pane.VSTItem()->model()->index(after, 1));
    ASSERT_TRUE(RunUntil([&] { return tab.table()->topLevelItemCount() == 5; }));
    EXPECT_EQ(tab.table()->topLevelItem(0)->text(1), u"Connection error (second fetch)"_s);
    EXPECT_TRUE(tab.summaryLabel()->text().contains(u"Lost since"_s));
    // What the history commits shows without a move of the focus.
    window->history().store()->record(key(0), Check(MinuteAfterStart(9000), lsFound, FollowedFacts()));
    ASSERT_TRUE(RunUntil([&] { return tab.table()->topLevelItemCount() == 6; }));

    // Another link, without checks.
    pane.VSTItem()->setCurrentIndex(pane.VSTItem()->model()->index(1 - after, 1));
    ASSERT_TRUE(RunUntil([&] { return tab.table()->topLevelItemCount() == 1; }));
}

// A link found at its last check: the check before the one each test runs.
class ConfirmationTest : public HistoryTest {
protected:
    void SetUp() override
    {
        writeData({0}, extraConfig());
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        other.record(key(0), Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
        ASSERT_TRUE(other.flush());
    }
    virtual QByteArray extraConfig() const { return "ConfirmPause=0\r\n"; }
};

TEST_F(ConfirmationTest, ALossThatASecondFetchDeniesStaysFoundAndBothFetchesAreRecorded)
{
    open();
    ASSERT_EQ(find(0)->Status, lsFound);
    server.answer(Missing);
    server.answer(OkResponse(Found));
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(find(0)->Status, lsFound);
    // Against the check before the first fetch: the recorded page differs, but nothing was lost.
    EXPECT_EQ(find(0)->Changes & (ChangeLost | ChangeBack), 0);
    close();

    const std::vector<HistoryEntry> all = recorded(0);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].check.verdict, lsFound);
    EXPECT_EQ(all[1].check.verdict, lsConnectionError);
    EXPECT_EQ(all[1].check.details.httpStatus(), 404);
}

TEST_F(ConfirmationTest, ALossThatASecondFetchConfirmsIsReportedAsLost)
{
    open();
    server.answer(Missing);
    server.answer(OkResponse("no link here"));
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(find(0)->Status, lsNotFound);
    EXPECT_EQ(find(0)->Changes & ChangeLost, ChangeLost);
    close();
    const std::vector<HistoryEntry> all = recorded(0);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].check.verdict, lsNotFound);
    EXPECT_EQ(all[1].check.verdict, lsConnectionError);
    EXPECT_EQ(all[0].changes & ChangeLost, ChangeLost);

    // A link not found before is not fetched twice.
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 3);
}

class LongPauseTest : public ConfirmationTest {
protected:
    QByteArray extraConfig() const override { return "ConfirmPause=300\r\n"; }
};

// Stop ends the pause, also one the check has not reached yet; the first verdict stands, recorded
// once, and what changed at it comes back after a restart.
TEST_F(LongPauseTest, StopEndsThePauseAndTheFirstVerdictStands)
{
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(RunUntil([this] { return server.connections() == 1; }));
    window->ToolButton1Click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(find(0)->Status, lsConnectionError);
    EXPECT_EQ(find(0)->Changes & ChangeLost, ChangeLost);
    close();

    const std::vector<HistoryEntry> all = recorded(0);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].check.verdict, lsConnectionError);
    EXPECT_FALSE(all[0].check.confirmation);
    EXPECT_EQ(all[0].changes & ChangeLost, ChangeLost);
    open();
    EXPECT_EQ(find(0)->Status, lsConnectionError);
    EXPECT_EQ(find(0)->Changes & ChangeLost, ChangeLost);
}

// A loss not yet confirmed when the window closes is not kept: the link comes back as it was.
TEST_F(LongPauseTest, ALossClosingCutShortIsNotKept)
{
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(RunUntil([this] { return server.connections() == 1; }));
    close();
    EXPECT_EQ(recorded(0).size(), 1u);
    open();
    EXPECT_EQ(find(0)->Status, lsFound);
}

// An edit that gives a link another address while it is checked makes it another link: the old
// address's history, which the edit forgets, does not come back with the check's outcome.
TEST_F(LongPauseTest, AnAddressEditedDuringItsCheckLeavesNoHistoryOfTheOldOne)
{
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(RunUntil([this] { return server.connections() == 1; }));
    const rMonitorInfo& row = *find(0);
    rMonitorInfo entered = row;
    entered.PageUrl = page(1);
    StoreEditedLink(window->links(), row, entered);
    window->history().forget({key(0)}, window->links());
    window->ToolButton1Click();
    ASSERT_TRUE(idle());
    close();
    EXPECT_TRUE(recorded(0).empty());
    EXPECT_TRUE(recorded(1).empty());
}

TEST_F(LongPauseTest, TheSwitchInTheOptionsTurnsTheSecondFetchOff)
{
    dir.write(u"config.ini"_s, "[Common]\r\nThreadCount=1\r\n[Check]\r\nConfirmLosses=0\r\nConfirmPause=300\r\n");
    open();
    server.answer(Missing);
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(find(0)->Status, lsConnectionError);
}

}  // namespace
