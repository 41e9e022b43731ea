#include "check/CheckPool.h"
#include "model/LinkListObserver.h"
#include "support/CheckFixture.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct ChangeCounter : LinkListObserver {
    int changes = 0;
    void rowChanged(int) override { ++changes; }
    void endLayoutChange() override { ++changes; }
    void endMoveRow() override { ++changes; }
    void endReset() override { ++changes; }
};

const QByteArray LinkingPage = "<a href=\"http://www.my-site.test/\">My site</a>";

// One partner page a row, each on a server of its own, so a test can hold and release each answer.
class Walks : public CheckFixture {
protected:
    LinkRecord addHeldPage(std::int32_t siteId = 1)
    {
        auto server = std::make_unique<ScriptedServer>();
        server->add(ServerScript().readRequest().awaitRelease().send(OkResponse(LinkingPage)));
        const LinkRecord row = addLink(server->url("/links.html"), siteId);
        m_servers.push_back(std::move(server));
        return row;
    }
    void releaseAll()
    {
        for (const auto& server : m_servers)
            server->release();
    }
    std::vector<int> connections() const
    {
        std::vector<int> counts;
        for (const auto& server : m_servers)
            counts.push_back(server->connections());
        return counts;
    }
    bool checking(const std::vector<LinkRecord>& rows) const
    {
        for (const LinkRecord& row : rows) {
            if (row->Status != lsChecking)
                return false;
        }
        return true;
    }

    std::vector<std::unique_ptr<ScriptedServer>> m_servers;
};

TEST_F(Walks, AtMostThreadCountChecksRunAndTheFourthStartsOnlyAfterAVerdict)
{
    ScriptedServer server;
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 10; ++i) {
        server.add(ServerScript().readRequest().delay(20).send(OkResponse(LinkingPage)));
        rows.push_back(addLink(server.url("/page" + QByteArray::number(i))));
    }
    setThreadCount(3);
    int mostChecking = 0;
    bool startedBeforeAVerdict = false;
    m_onRefresh = [&] {
        const int checking = countWithStatus(lsChecking);
        const int verdicts =
            countWithStatus(lsFound) + countWithStatus(lsNotFound) + countWithStatus(lsConnectionError);
        mostChecking = std::max(mostChecking, checking);
        if (checking + verdicts >= 4 && verdicts == 0)
            startedBeforeAVerdict = true;
    };
    checkAll();
    EXPECT_EQ(countWithStatus(lsFound), 10);
    EXPECT_EQ(server.connections(), 10);
    EXPECT_LE(server.maxPendingRequests(), 3);
    EXPECT_LE(mostChecking, 3);
    EXPECT_FALSE(startedBeforeAVerdict);
    EXPECT_EQ(m_dispatcher->RunningChecks(), 0);
    // Two refreshes a check: lsChecking, then the verdict.
    EXPECT_EQ(m_refreshes, 20);
}

TEST_F(Walks, ProxySettingsSavedDuringAWalkApplyToTheNextCheckAndThreadsServeOneCheckAfterAnother)
{
    ScriptedServer direct;
    direct.add(ServerScript().readRequest().awaitRelease().send(OkResponse(LinkingPage)));
    ScriptedServer proxy;
    proxy.answer(OkResponse(LinkingPage));
    addLink(direct.url("/first"));
    addLink("http://www.partner.test/second");
    setThreadCount(1);
    // What the options dialog's Save does, while the first check waits for its page.
    onceWhen([&] { return m_links.record(0).Status == lsChecking; },
             [&] {
                 ASSERT_TRUE(RunUntil([&] { return direct.requests().size() == 1; }));
                 m_settings.write(Keys::UseProxy, true);
                 m_settings.write(Keys::ProxyServer, "127.0.0.1");
                 m_settings.write(Keys::ProxyPort, proxy.port());
                 direct.release();
             });
    checkAll();
    EXPECT_EQ(countWithStatus(lsFound), 2);
    EXPECT_EQ(direct.connections(), 1);
    ASSERT_EQ(proxy.requests().size(), 1);
    EXPECT_TRUE(proxy.requests()[0].startsWith("GET http://www.partner.test:80/second HTTP/1.1\r\n"));
    // The second check ran on the thread the first one had used.
    EXPECT_EQ(m_dispatcher->pool().threads(), 1);
}

TEST_F(Walks, ThreadCountBelowOneChecksOneAtATime)
{
    ScriptedServer server;
    for (int i = 0; i < 3; ++i) {
        server.add(ServerScript().readRequest().delay(10).send(OkResponse(LinkingPage)));
        addLink(server.url("/"));
    }
    m_settings.writeString("Common", "ThreadCount", "-4");
    checkAll();
    EXPECT_EQ(countWithStatus(lsFound), 3);
    EXPECT_EQ(server.maxPendingRequests(), 1);
}

TEST_F(Walks, StopDuringAWaitStartsNoMoreChecksAndTheRunningOnesReport)
{
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back(addHeldPage());
    setThreadCount(2);
    // Stop comes while the walk waits for a slot for row 2; a slot frees at once after it.
    onceWhen(
        [&] {
            return checking({rows[0], rows[1]});
        },
        [&] {
            m_dispatcher->ToolButton1Click();
            m_servers[0]->release();
        });
    m_dispatcher->StartAll();
    EXPECT_TRUE(m_dispatcher->StopRequested());
    releaseAll();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(connections(), std::vector<int>({1, 1, 0, 0}));
    EXPECT_EQ(rows[0]->Status, lsFound);
    EXPECT_EQ(rows[1]->Status, lsFound);
    EXPECT_EQ(rows[2]->Status, lsUnchecked);
    EXPECT_EQ(rows[2]->Worker, nullptr);
}

TEST_F(Walks, ASecondCheckDuringAWaitSkipsTheRowsBeingChecked)
{
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back(addHeldPage());
    setThreadCount(3);
    bool innerDone = false;
    onceWhen(
        [&] {
            return checking({rows[0], rows[1], rows[2]});
        },
        [&] {
            // A larger limit saved meanwhile applies to the waiting walk at once.
            setThreadCount(10);
            m_dispatcher->StartAll();
            innerDone = true;
        });
    m_dispatcher->StartAll();
    EXPECT_TRUE(innerDone);
    // The outer walk went on to row 3, which the inner one had started: skipped, not started twice.
    EXPECT_EQ(m_dispatcher->RunningChecks(), 4);
    releaseAll();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(connections(), std::vector<int>({1, 1, 1, 1}));
    EXPECT_EQ(countWithStatus(lsFound), 4);
}

TEST_F(Walks, SelectedRowsHiddenByTheFilterAreChecked)
{
    const LinkRecord mine = addHeldPage(1);
    const LinkRecord other = addHeldPage(2);
    addHeldPage(1);
    m_links.setSelected(0, true);
    m_links.setSelected(1, true);
    m_links.ShowSiteItems(1, m_websites);
    ASSERT_FALSE(m_links.isVisible(*other));
    releaseAll();
    m_dispatcher->StartSelected();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(connections(), std::vector<int>({1, 1, 0}));
    EXPECT_EQ(mine->Status, lsFound);
    // Checked against its own website's address, which the page does not hold.
    EXPECT_EQ(other->SiteUrl, "www.other.test");
    EXPECT_EQ(other->Status, lsNotFound);
}

TEST_F(Walks, CheckSelectedWithoutASelectionSaysSoAndChecksNothing)
{
    addHeldPage();
    QStringList shown;
    m_dispatcher->setShowInformation([&](const QString& text) { shown << text; });
    m_dispatcher->StartSelected();
    EXPECT_EQ(shown, QStringList{QStringLiteral("Please Select a inbound link")});
    EXPECT_EQ(m_dispatcher->RunningChecks(), 0);
    m_links.setSelected(0, true);
    EXPECT_TRUE(m_dispatcher->RequireSelection());
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(Walks, AWalkWhoseRowWasHiddenGoesOnFromTheFirstVisibleRow)
{
    const LinkRecord first = addHeldPage(1);
    addHeldPage(2);
    addHeldPage(1);
    addHeldPage(2);
    m_servers[0]->add(ServerScript::answer(OkResponse(LinkingPage)));
    setThreadCount(1);
    onceWhen([&] { return checking({first}); },
             [&] {
                 m_links.ShowSiteItems(1, m_websites);
                 releaseAll();
             });
    checkAll();
    // The row waited for is started although hidden now; the walk then starts over from the first
    // visible row, which has its verdict by then and is checked again, and ends with the last one.
    EXPECT_EQ(connections(), std::vector<int>({2, 1, 1, 0}));
}

// The walk waits at row 1 while row 0 is checked; meanwhile rows are deleted.
struct Deletion {
    std::vector<int> deleted;
    std::vector<int> expectedConnections;
};

class DeletedDuringAWait : public Walks, public ::testing::WithParamInterface<Deletion> {};

TEST_P(DeletedDuringAWait, TheWalkGoesOnWithTheRowThatFollowed)
{
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(addHeldPage());
    setThreadCount(1);
    onceWhen([&] { return checking({rows[0]}); },
             [&] {
                 std::vector<LinkRecord> doomed;
                 for (const int i : GetParam().deleted)
                     doomed.push_back(rows[static_cast<std::size_t>(i)]);
                 m_links.remove(doomed);
                 releaseAll();
             });
    checkAll();
    EXPECT_EQ(connections(), GetParam().expectedConnections);
    for (const int i : GetParam().deleted) {
        EXPECT_EQ(rows[static_cast<std::size_t>(i)]->Status, lsUnchecked);
        EXPECT_EQ(rows[static_cast<std::size_t>(i)]->Worker, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Checking, DeletedDuringAWait,
                         ::testing::Values(Deletion{{1}, {1, 0, 1, 1, 1}},
                                           // The row that followed went too: on from where they were.
                                           Deletion{{1, 2}, {1, 0, 0, 1, 1}}, Deletion{{1, 2, 3, 4}, {1, 0, 0, 0, 0}}));

TEST_F(Walks, DeletingARowWhileItIsCheckedLeavesItsRecordAndTheViewAlone)
{
    const LinkRecord row = addHeldPage();
    const LinkRecord kept = addHeldPage();
    setThreadCount(2);
    m_dispatcher->StartAll();
    ASSERT_TRUE(RunUntil([&] { return checking({row, kept}); }));
    m_links.remove({row});
    const int refreshes = m_refreshes;
    ChangeCounter view;
    m_links.setObserver(&view);
    m_servers[0]->release();
    ASSERT_TRUE(RunUntil([&] { return m_dispatcher->RunningChecks() == 1; }));
    EXPECT_EQ(m_refreshes, refreshes);
    EXPECT_EQ(view.changes, 0);
    EXPECT_FALSE(row->Attached);
    EXPECT_EQ(row->Status, lsChecking);
    EXPECT_EQ(row->LastCheck, 0);
    m_servers[1]->release();
    m_dispatcher->WaitUntilIdle();
    m_links.setObserver(nullptr);
    EXPECT_EQ(kept->Status, lsFound);
    EXPECT_GT(view.changes, 0);
}

TEST_F(Walks, ClearingTheListWhileChecksRunTouchesNoRecord)
{
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(addHeldPage());
    setThreadCount(5);
    m_dispatcher->StartAll();
    ASSERT_TRUE(RunUntil([&] { return checking(rows); }));
    m_links.clear();
    const int refreshes = m_refreshes;
    releaseAll();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(m_refreshes, refreshes);
    for (const LinkRecord& row : rows) {
        EXPECT_EQ(row->Status, lsChecking);
        EXPECT_EQ(row->LastCheck, 0);
    }
}

}  // namespace
