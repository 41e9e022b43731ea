#include "check/HttpClient.h"

#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

namespace {

QByteArray Ok(QByteArray body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

class HttpsFetch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_authority = new TestAuthority();
        s_identity = new TestIdentity(s_authority->issue("IP:127.0.0.1"));
    }
    static void TearDownTestSuite()
    {
        delete s_identity;
        delete s_authority;
    }

    static HttpClientConfig Trusting()
    {
        HttpClientConfig config;
        config.extraTrustAnchorPem = s_authority->certPem();
        return config;
    }
    static QByteArray HttpsUrl(const ScriptedServer& server, QByteArrayView path = "/")
    {
        return "https://" + server.authority() + path.toByteArray();
    }

    static TestAuthority* s_authority;
    static TestIdentity* s_identity;
};

TestAuthority* HttpsFetch::s_authority = nullptr;
TestIdentity* HttpsFetch::s_identity = nullptr;

TEST_F(HttpsFetch, PageOverVerifiedTls)
{
    ScriptedServer server(s_identity->certPem, s_identity->keyPem);
    server.add(ServerScript().startTls().readRequest().send(Ok("secret page")));
    HttpClient client(Trusting());
    const FetchResult result = client.get(HttpsUrl(server, "/p?q=1"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "secret page");
    EXPECT_TRUE(server.requests().value(0).startsWith("GET /p?q=1 HTTP/1.1\r\nHost: " + server.authority() + "\r\n"));
}

TEST_F(HttpsFetch, CertificateForAnotherHostFails)
{
    const TestIdentity other = s_authority->issue("DNS:other.test");
    ScriptedServer server(other.certPem, other.keyPem);
    server.add(ServerScript().startTls().readRequest().send(Ok("x")));
    const FetchResult result = HttpClient(Trusting()).get(HttpsUrl(server));
    EXPECT_EQ(result.error, FetchError::TlsFailed) << result.text.toStdString();
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(HttpsFetch, UntrustedCertificateFails)
{
    const TestAuthority stranger("Stranger CA");
    const TestIdentity untrusted = stranger.issue("IP:127.0.0.1");
    ScriptedServer server(untrusted.certPem, untrusted.keyPem);
    server.add(ServerScript().startTls().readRequest().send(Ok("x")));
    // Our own authority is not in the system store either.
    ScriptedServer ours(s_identity->certPem, s_identity->keyPem);
    ours.add(ServerScript().startTls().readRequest().send(Ok("x")));
    EXPECT_EQ(HttpClient(Trusting()).get(HttpsUrl(server)).error, FetchError::TlsFailed);
    EXPECT_EQ(HttpClient().get(HttpsUrl(ours)).error, FetchError::TlsFailed);
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_TRUE(ours.requests().isEmpty());
}

TEST_F(HttpsFetch, PlainServerBehindAnHttpsUrlFails)
{
    ScriptedServer server;
    server.add(ServerScript().send(Ok("not tls")).holdOpen());
    EXPECT_EQ(HttpClient(Trusting()).get(HttpsUrl(server)).error, FetchError::TlsFailed);
}

TEST_F(HttpsFetch, RedirectsToHttpsAndRelativeLocationsKeepTls)
{
    ScriptedServer secure(s_identity->certPem, s_identity->keyPem);
    ServerScript script;
    script.startTls().readRequest().send("HTTP/1.1 302 Found\r\nLocation: next.html\r\nContent-Length: 0\r\n\r\n");
    script.readRequest().send(Ok("over tls"));
    secure.add(script);
    ScriptedServer plain;
    plain.answer("HTTP/1.1 301 Moved\r\nLocation: " + HttpsUrl(secure, "/dir/start.html") + "\r\n\r\n");
    const FetchResult result = HttpClient(Trusting()).get(plain.url("/"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "over tls");
    ASSERT_EQ(secure.requests().size(), 2);
    EXPECT_TRUE(secure.requests()[1].startsWith("GET /dir/next.html HTTP/1.1\r\n"));
}

TEST_F(HttpsFetch, ProxyTunnelCarriesTheCredentialsAndTlsRunsInside)
{
    // The proxy answers the tunnel itself and then plays the page's server inside it.
    ScriptedServer proxy(s_identity->certPem, s_identity->keyPem);
    proxy.add(ServerScript()
                  .readRequest()
                  .send("HTTP/1.1 200 Connection established\r\n\r\n")
                  .startTls()
                  .readRequest()
                  .send(Ok("tunnelled")));
    HttpClientConfig config = Trusting();
    config.proxyHost = "127.0.0.1";
    config.proxyPort = proxy.port();
    config.proxyBasicAuth = true;
    const FetchResult result = HttpClient(config).get("https://127.0.0.1/links.html");
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "tunnelled");
    const QList<QByteArray> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0],
              "CONNECT 127.0.0.1:443 HTTP/1.1\r\nHost: 127.0.0.1:443\r\n"
              "User-Agent: Quorvane/3.1 (+https://quorvane.example/)\r\n"
              "Proxy-Authorization: Basic Og==\r\n\r\n");
    EXPECT_TRUE(requests[1].startsWith("GET /links.html HTTP/1.1\r\nHost: 127.0.0.1:443\r\n"));
    EXPECT_FALSE(requests[1].contains("Proxy-Authorization"));
}

TEST_F(HttpsFetch, ProxyRefusingTheTunnelFails)
{
    ScriptedServer proxy;
    proxy.answer("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n");
    HttpClientConfig config = Trusting();
    config.proxyHost = "127.0.0.1";
    config.proxyPort = proxy.port();
    const FetchResult result = HttpClient(config).get("https://www.partner.test:8443/");
    EXPECT_EQ(result.error, FetchError::ProxyFailed);
    EXPECT_EQ(result.status, 407);
    EXPECT_TRUE(proxy.requests().value(0).startsWith("CONNECT www.partner.test:8443 HTTP/1.1\r\n"));
}

}  // namespace
