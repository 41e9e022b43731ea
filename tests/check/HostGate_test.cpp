// Politeness to partner sites: how many checks talk to one host at once, counted at the server.
#include "check/HostGate.h"
#include "check/HttpClient.h"

#include "support/CheckFixture.h"
#include "support/FakeResolver.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const QByteArray LinkingPage = "<a href=\"http://www.my-site.test/\">My site</a>";
constexpr int Pages = 12;

class Politeness : public CheckFixture {
protected:
    // Pages pages on one server, each answered only once the test releases them.
    void addHeldPages(ScriptedServer& server)
    {
        for (int i = 0; i < Pages; ++i) {
            server.add(ServerScript().readRequest().awaitRelease().send(OkResponse(LinkingPage)));
            addLink(server.url("/page" + QByteArray::number(i)));
        }
        setThreadCount(Pages);
    }
};

TEST_F(Politeness, OneHostSeesNoMoreThanItsLimitWhileTheOtherChecksWait)
{
    ScriptedServer server;
    addHeldPages(server);
    m_settings.write(Keys::PerHostLimit, 4);
    m_dispatcher->StartAll();
    // Every check has started: four talk to the host, the others wait for their turn and still count.
    EXPECT_EQ(m_dispatcher->RunningChecks(), Pages);
    ASSERT_TRUE(RunUntil(
        [&] { return server.pendingRequests() == 4 && HostGate::shared().waiting("127.0.0.1") == Pages - 4; }));
    server.release();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(countWithStatus(lsFound), Pages);
    EXPECT_EQ(server.maxPendingRequests(), 4);
    EXPECT_EQ(server.connections(), Pages);
    EXPECT_EQ(HostGate::shared().holding("127.0.0.1"), 0);
}

TEST_F(Politeness, NoLimitLetsEveryCheckIn)
{
    ScriptedServer server;
    addHeldPages(server);
    m_settings.write(Keys::PerHostLimit, 0);
    m_dispatcher->StartAll();
    ASSERT_TRUE(RunUntil([&] { return server.pendingRequests() == Pages; }));
    server.release();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(countWithStatus(lsFound), Pages);
}

TEST(HostGate, AFetchWaitingForItsHostStopsOnAbortAndTheNextGoesIn)
{
    ScriptedServer server;
    server.add(ServerScript().readRequest().awaitRelease().send(OkResponse("first")));
    server.answer(OkResponse("third"));
    HttpClientConfig config;
    config.perHostLimit = 1;
    HttpClient first(config);
    HttpClient second(config);
    FetchResult firstResult;
    std::thread holder([&] { firstResult = first.get(server.url("/1")); });
    while (server.pendingRequests() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::thread stopper([&] {
        while (HostGate::shared().waiting("127.0.0.1") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        second.abort();
    });
    const FetchResult waited = second.get(server.url("/2"));
    stopper.join();
    EXPECT_EQ(waited.error, FetchError::Aborted);
    EXPECT_EQ(HostGate::shared().waiting("127.0.0.1"), 0);
    server.release();
    holder.join();
    EXPECT_EQ(firstResult.body, "first");
    EXPECT_EQ(HttpClient(config).get(server.url("/3")).body, "third");
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(HostGate, PauseBetweenRequestsToAHostIsKeptAndCanBeStopped)
{
    ScriptedServer server;
    server.answer(OkResponse("first"));
    server.answer(OkResponse("second"));
    HttpClientConfig config;
    config.hostDelayMs = 60000;
    ASSERT_TRUE(HttpClient(config).get(server.url("/1")));
    // The next request to the host would wait a minute; stopping it ends the wait.
    HttpClient next(config);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        next.abort();
    });
    const FetchResult waited = next.get(server.url("/2"));
    stopper.join();
    EXPECT_EQ(waited.error, FetchError::Aborted);
    EXPECT_EQ(server.requests().size(), 1);
    // Another host does not wait.
    ScriptedServer other;
    other.answer(OkResponse("other"));
    const auto resolver = std::make_shared<FakeResolver>();
    resolver->add("other.test", {Loopback4()});
    config.resolver = resolver;
    EXPECT_TRUE(HttpClient(config).get("http://other.test:" + QByteArray::number(other.port()) + "/"));
}

}  // namespace
