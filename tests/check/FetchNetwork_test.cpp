// Name look-ups, IPv6 and the race between addresses, against loopback servers only: the fake
// resolver gives test host names loopback addresses.
#include "check/AresResolver.h"
#include "check/CancelToken.h"
#include "check/HappyEyeballs.h"
#include "check/HttpClient.h"

#include "support/FakeResolver.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray Ok(QByteArray body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// A port on both loopback addresses that nothing listens on.
quint16 ClosedPort()
{
    quint16 port;
    {
        ScriptedServer probe;
        port = probe.port();
    }
    return port;
}

class Ipv6 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Ipv6LoopbackAvailable())
            GTEST_SKIP() << "no ::1 on this machine";
    }

    FetchResult get(const QByteArray& url, int connectTimeoutMs = 10000)
    {
        HttpClientConfig config;
        config.resolver = m_resolver;
        config.connectTimeoutMs = connectTimeoutMs;
        return HttpClient(config).get(url);
    }

    std::shared_ptr<FakeResolver> m_resolver = std::make_shared<FakeResolver>();
};

TEST_F(Ipv6, LiteralAddressInThePageUrl)
{
    ScriptedServer server(Loopback::V6);
    server.answer(Ok("over ipv6"));
    const FetchResult result = get(server.url("/page"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "over ipv6");
    EXPECT_TRUE(server.requests().value(0).startsWith(
        "GET /page HTTP/1.1\r\nHost: [::1]:" + QByteArray::number(server.port()) + "\r\n"));
    EXPECT_EQ(result.finalUrl, server.url("/page"));
    EXPECT_EQ(m_resolver->lookUps(), 0);
}

TEST_F(Ipv6, HostWithOnlyAnIpv6Address)
{
    ScriptedServer server(Loopback::V6);
    server.answer(Ok("aaaa only"));
    m_resolver->add("six.test", {Loopback6()});
    const FetchResult result = get("http://six.test:" + QByteArray::number(server.port()) + "/");
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "aaaa only");
    EXPECT_TRUE(
        server.requests().value(0).contains("\r\nHost: six.test:" + QByteArray::number(server.port()) + "\r\n"));
}

TEST_F(Ipv6, LocationAndProxyMayBeIpv6Literals)
{
    ScriptedServer six(Loopback::V6);
    six.answer(Ok("moved here"));
    ScriptedServer four;
    four.answer("HTTP/1.1 302 Found\r\nLocation: " + six.url("/there") + "\r\nContent-Length: 0\r\n\r\n");
    const FetchResult moved = get(four.url("/"));
    ASSERT_TRUE(moved) << moved.text.toStdString();
    EXPECT_EQ(moved.body, "moved here");

    ScriptedServer proxy(Loopback::V6);
    proxy.answer(Ok("a"));
    proxy.answer(Ok("b"));
    for (const QByteArray& host : {QByteArray("::1"), QByteArray("[::1]")}) {
        HttpClientConfig config;
        config.proxyHost = host;
        config.proxyPort = proxy.port();
        EXPECT_TRUE(HttpClient(config).get("http://www.partner.test/links.html")) << host.constData();
    }
    EXPECT_EQ(proxy.requests().size(), 2);
}

TEST_F(Ipv6, SilentIpv6AddressGivesWayToIpv4)
{
    ScriptedServer server;
    server.answer(Ok("over ipv4"));
    UnresponsiveListener silent(Loopback::V6, server.port());
    m_resolver->add("dual.test", {Loopback6(), Loopback4()});
    const FetchResult result = get("http://dual.test:" + QByteArray::number(server.port()) + "/");
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "over ipv4");
}

TEST_F(Ipv6, Ipv6IsTriedFirstWhateverTheOrderOfTheLookUp)
{
    ScriptedServer four;
    ScriptedServer six(Loopback::V6, four.port());
    four.answer(Ok("ipv4"));
    six.answer(Ok("ipv6"));
    m_resolver->add("dual.test", {Loopback4(), Loopback6()});
    const FetchResult result = get("http://dual.test:" + QByteArray::number(four.port()) + "/");
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "ipv6");
    EXPECT_EQ(four.connections(), 0);
}

TEST_F(Ipv6, RefusedAddressLetsTheNextGoAtOnceAndTheLastErrorIsTold)
{
    ScriptedServer four;
    four.answer(Ok("second address"));
    m_resolver->add("dual.test", {Loopback6(), Loopback4()});  // nothing listens on ::1 at that port
    const FetchResult result = get("http://dual.test:" + QByteArray::number(four.port()) + "/");
    ASSERT_TRUE(result) << result.text.toStdString();

    const QByteArray closed = "http://dual.test:" + QByteArray::number(ClosedPort()) + "/";
    const FetchResult refused = get(closed);
    EXPECT_EQ(refused.error, FetchError::ConnectFailed);
    EXPECT_EQ(refused.text, QStringLiteral("Connection refused"));
}

TEST_F(Ipv6, ConnectTimeoutCoversEveryAddress)
{
    UnresponsiveListener four;
    UnresponsiveListener six(Loopback::V6, four.port());
    m_resolver->add("silent.test", {Loopback6(), Loopback4()});
    const FetchResult result = get("http://silent.test:" + QByteArray::number(four.port()) + "/", 400);
    EXPECT_EQ(result.error, FetchError::ConnectTimeout) << result.text.toStdString();
    EXPECT_EQ(result.text, QStringLiteral("No connection within 0.4 s"));
}

TEST(HappyEyeballs, FamiliesAlternateFromIpv6)
{
    const IpAddress a4 = *IpAddress::parse("192.0.2.1");
    const IpAddress b4 = *IpAddress::parse("192.0.2.2");
    const IpAddress c4 = *IpAddress::parse("192.0.2.3");
    const IpAddress a6 = *IpAddress::parse("2001:db8::1");
    const IpAddress b6 = *IpAddress::parse("2001:db8::2");
    EXPECT_EQ(InterleaveFamilies({a4, b4, c4, a6, b6}), (std::vector<IpAddress>{a6, a4, b6, b4, c4}));
    EXPECT_EQ(InterleaveFamilies({a4, b4}), (std::vector<IpAddress>{a4, b4}));
    EXPECT_EQ(InterleaveFamilies({b6, a6}), (std::vector<IpAddress>{b6, a6}));
    EXPECT_EQ(a6.toText(), "2001:db8::1");
    EXPECT_FALSE(IpAddress::parse("www.partner.test"));
    EXPECT_FALSE(IpAddress::parse("[::1]"));
}

TEST(LookUp, FailureNamesTheReasonAndAHangingOneStopsOnAbort)
{
    auto resolver = std::make_shared<FakeResolver>();
    resolver->hang("slow.test");
    HttpClientConfig config;
    config.resolver = resolver;
    const FetchResult unknown = HttpClient(config).get("http://unknown.test/");
    EXPECT_EQ(unknown.error, FetchError::ResolveFailed);
    EXPECT_EQ(unknown.text, QStringLiteral("Host not found"));

    HttpClient client(config);
    std::thread stopper([&] {
        while (resolver->hanging() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        client.abort();
    });
    const FetchResult stopped = client.get("http://slow.test/");
    stopper.join();
    EXPECT_EQ(stopped.error, FetchError::Aborted);
    EXPECT_EQ(stopped.text, QStringLiteral("Stopped"));
    EXPECT_EQ(resolver->hanging(), 0);
}

// A name server on loopback that never answers.
class SilentNameServer {
public:
    SilentNameServer()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~SilentNameServer() { ::close(m_fd); }
    QByteArray address() const { return "127.0.0.1:" + QByteArray::number(m_port); }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

TEST(AresResolver, HostsFileAnswersAndALookUpWithoutAnswerStopsOnCancel)
{
    SilentNameServer nameServer;
    AresResolver resolver(nameServer.address());
    CancelToken token;
    const ResolveResult local = resolver.resolve("localhost", token);
    ASSERT_FALSE(local.addresses.empty()) << local.failure.text.toStdString();
    EXPECT_NE(std::find(local.addresses.begin(), local.addresses.end(), Loopback4()), local.addresses.end());

    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        token.cancel();
    });
    const ResolveResult unanswered = resolver.resolve("no-such-host.test", token);
    stopper.join();
    EXPECT_TRUE(unanswered.addresses.empty());
    EXPECT_EQ(unanswered.failure.error, FetchError::Aborted);
}

}  // namespace
