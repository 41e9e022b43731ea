#include "check/HttpClient.h"
#include "check/HttpUrl.h"

#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const QByteArray UserAgentLine = "User-Agent: Quorvane/3.1 (+https://quorvane.example/)\r\n";

QByteArray Ok(QByteArray body, QByteArray headers = {})
{
    return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Redirect(QByteArray location, QByteArray extra = {})
{
    return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\n" + extra + "Content-Length: 5\r\n\r\nmoved";
}

FetchResult Get(const QByteArray& url, HttpClientConfig config = {})
{
    HttpClient client(std::move(config));
    return client.get(url);
}

TEST(HttpClient, DirectRequestCarriesExactlyTheseHeaders)
{
    ScriptedServer server;
    server.answer(Ok("<a href=\"http://my.site.test/\">me</a>"));
    const FetchResult result = Get(server.url("/dir/page.php?a=1&b=%20#links"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "<a href=\"http://my.site.test/\">me</a>");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0],
              "GET /dir/page.php?a=1&b=%20 HTTP/1.1\r\nHost: " + server.authority() + "\r\nAccept: text/html, */*\r\n" +
                  UserAgentLine + "\r\n");
}

TEST(HttpClient, ProxyGetsTheAbsoluteTargetWithThePortAndEmptyCredentials)
{
    ScriptedServer proxy;
    proxy.answer(Ok("a"));
    proxy.answer(Ok("b"));
    HttpClientConfig config;
    config.proxyHost = "127.0.0.1";
    config.proxyPort = proxy.port();
    config.proxyBasicAuth = true;
    ASSERT_TRUE(Get("http://www.partner.test/links.html", config));
    ASSERT_TRUE(Get("http://www.partner.test:80/links.html", config));
    const QByteArray expected = "GET http://www.partner.test:80/links.html HTTP/1.1\r\nHost: www.partner.test\r\n"
                                "Accept: text/html, */*\r\n" +
        UserAgentLine + "Proxy-Authorization: Basic Og==\r\n\r\n";
    EXPECT_EQ(proxy.requests(), QList<QByteArray>({expected, expected}));
}

TEST(HttpClient, ProxyCredentialsGoToThePageServerWhenNoProxyHostIsSet)
{
    ScriptedServer server;
    server.answer(Ok("x"));
    HttpClientConfig config;
    config.proxyBasicAuth = true;
    config.proxyUser = "joe";
    config.proxyPassword = "pw";
    ASSERT_TRUE(Get(server.url("/"), config));
    EXPECT_TRUE(server.requests().value(0).contains("\r\nProxy-Authorization: Basic am9lOnB3\r\n"));
}

TEST(HttpClient, UnusableProxySettingFails)
{
    HttpClientConfig config;
    config.proxyHost = "127.0.0.1";
    config.proxyPort = 0;
    EXPECT_EQ(Get("http://www.partner.test/", config).error, FetchError::ProxyFailed);
}

TEST(HttpClient, RedirectsKeepHostPortAndResolveRelativePaths)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().send(Redirect("/links/page.html"));
    script.readRequest().send(Redirect("other.html"));
    script.readRequest().send(Ok("landing", "Location: ../final.html\r\n"));
    script.readRequest().send(Ok("final"));
    server.add(script);
    const FetchResult result = Get(server.url("/start"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "final");
    const QList<QByteArray> requests = server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_TRUE(requests[1].startsWith("GET /links/page.html HTTP/1.1\r\nHost: " + server.authority() + "\r\n"));
    EXPECT_TRUE(requests[2].startsWith("GET /links/other.html "));
    EXPECT_TRUE(requests[3].startsWith("GET /final.html "));
    EXPECT_EQ(server.connections(), 1);  // one kept connection carried the whole chain
}

TEST(HttpClient, ConnectionCloseOrAnUnframedBodyMeansANewConnection)
{
    ScriptedServer server;
    server.add(ServerScript::answer(Redirect("/b", "Connection: close\r\n")).holdOpen());
    server.add(ServerScript::answer("HTTP/1.1 301 Moved\r\nLocation: /c\r\n\r\nno length"));
    server.answer(Ok("c"));
    const FetchResult result = Get(server.url("/a"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "c");
    EXPECT_EQ(server.connections(), 3);
}

TEST(HttpClient, KeptConnectionThatTheServerDroppedIsRetriedOnce)
{
    ScriptedServer server;
    server.answer(Redirect("/b"));  // then the server closes, though it did not say so
    server.answer(Ok("b"));
    const FetchResult result = Get(server.url("/a"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "b");
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(HttpClient, FourteenRedirectsAreFollowedAndTheFifteenthEndsEmpty)
{
    for (const int redirects : {14, 15}) {
        ScriptedServer server;
        ServerScript script;
        for (int i = 1; i <= redirects; ++i)
            script.readRequest().send(Redirect("/r" + QByteArray::number(i)));
        script.readRequest().send(Ok("page"));
        server.add(script);
        const FetchResult result = Get(server.url("/r0"));
        ASSERT_TRUE(result) << result.text.toStdString();
        EXPECT_EQ(result.body, redirects == 14 ? "page" : "");
        EXPECT_EQ(server.requests().size(), 15);
    }
}

TEST(HttpClient, StatusDecidesBetweenBodyAndFailure)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 204 No Content\r\n\r\n");
    server.answer(Ok("created", {}).replace("200 OK", "201 Created"));
    for (const char* status :
         {"304 Not Modified", "401 Unauthorized", "404 Not Found", "407 Proxy Authentication Required",
          "500 Internal Server Error", "101 Switching Protocols", "abc"})
        server.answer("HTTP/1.1 " + QByteArray(status) + "\r\nContent-Length: 4\r\n\r\nbody");
    const FetchResult empty = Get(server.url("/"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty.body.isEmpty());
    EXPECT_EQ(Get(server.url("/")).body, "created");
    for (const int status : {304, 401, 404, 407, 500, 101, -1}) {
        const FetchResult failed = Get(server.url("/"));
        EXPECT_EQ(failed.error, FetchError::HttpStatus);
        EXPECT_EQ(failed.status, status);
        EXPECT_TRUE(failed.body.isEmpty());
    }
}

TEST(HttpClient, CookiesLiveForOneFetchOnly)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().send(Redirect("/second",
                                       "Set-Cookie: session=abc; Path=/\r\nSet-cookie2: b=2\r\n"
                                       "Set-Cookie: other=1; Domain=elsewhere.test\r\n"
                                       "Set-Cookie: evil=x\ry; Path=/\r\n"));
    script.readRequest().send(Ok("done"));
    server.add(script);
    server.answer(Ok("again"));
    HttpClient client;
    ASSERT_TRUE(client.get(server.url("/first")));
    ASSERT_TRUE(client.get(server.url("/first")));
    const QList<QByteArray> requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_FALSE(requests[0].contains("Cookie"));
    EXPECT_TRUE(requests[1].endsWith(UserAgentLine + "Cookie: session=abc; b=2\r\n\r\n"));
    EXPECT_FALSE(requests[2].contains("Cookie"));
}

TEST(HttpClient, HeadersCutOffByACloseCountExceptForAPage)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Len");
    server.answer("HTTP/1.1 302 Found\r\nLocation: /next\r\nX-Par");
    server.answer(Ok("next"));
    EXPECT_EQ(Get(server.url("/")).error, FetchError::HttpStatus);
    const FetchResult followed = Get(server.url("/"));
    ASSERT_TRUE(followed) << followed.text.toStdString();
    EXPECT_EQ(followed.body, "next");
}

TEST(HttpClient, CloseInsideAnnouncedBodyKeepsWhatArrived)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nhalf a page");
    const FetchResult result = Get(server.url("/"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.body, "half a page");
}

TEST(HttpClient, ChunkedPageSentInPieces)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki").delay(20);
    script.send("\r\n5\r\npedia\r").delay(20).send("\n0\r\n\r\n");
    server.add(script);
    const FetchResult result = Get(server.url("/"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body, "Wikipedia");
}

TEST(HttpClient, OverlongHeaderLineFails)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(20000, 'a') + "\r\n\r\n");
    EXPECT_EQ(Get(server.url("/")).error, FetchError::LineTooLong);
}

TEST(HttpClient, EndlessPageStopsAt64MiB)
{
    ScriptedServer server;
    server.add(ServerScript().readRequest().send("HTTP/1.1 200 OK\r\n\r\n").sendEndless());
    const FetchResult result = Get(server.url("/"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(result.body.size(), qsizetype(64) << 20);
}

TEST(HttpClient, UnwantedBodiesAreDrainedOnlyForALimitedTime)
{
    ScriptedServer server;
    server.add(ServerScript().readRequest().send("HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n").sendEndless());
    server.answer(Ok("next"));
    server.add(ServerScript().readRequest().send("HTTP/1.1 500 Oops\r\n\r\n").sendEndless());
    HttpClientConfig config;
    config.redirectDrainMs = 100;
    config.errorDrainMs = 100;
    const FetchResult followed = Get(server.url("/"), config);
    ASSERT_TRUE(followed) << followed.text.toStdString();
    EXPECT_EQ(followed.body, "next");
    EXPECT_EQ(Get(server.url("/"), config).error, FetchError::HttpStatus);
}

TEST(HttpClient, SilentServerHitsTheReadTimeout)
{
    ScriptedServer server;
    server.add(ServerScript().readRequest().delay(10000));
    server.add(ServerScript().readRequest().send("HTTP/1.1 200 OK\r\n\r\nstarted").delay(10000));
    HttpClientConfig config;
    config.readTimeoutMs = 100;
    EXPECT_EQ(Get(server.url("/"), config).error, FetchError::ReadTimeout);
    EXPECT_EQ(Get(server.url("/"), config).error, FetchError::ReadTimeout);
}

TEST(HttpClient, ConnectTimeoutEndsAConnectThatHangs)
{
    UnresponsiveListener listener;
    HttpClientConfig config;
    config.connectTimeoutMs = 100;
    const FetchResult result = Get("http://127.0.0.1:" + QByteArray::number(listener.port()) + "/", config);
    EXPECT_EQ(result.error, FetchError::ConnectTimeout) << result.text.toStdString();
}

TEST(HttpClient, RefusedConnectionFails)
{
    quint16 port;
    {
        ScriptedServer closed;
        port = closed.port();
    }
    EXPECT_EQ(Get("http://127.0.0.1:" + QByteArray::number(port) + "/").error, FetchError::ConnectFailed);
}

TEST(HttpClient, AbortStopsABlockedConnectOrRead)
{
    UnresponsiveListener listener;
    ScriptedServer server;
    server.add(ServerScript().readRequest().delay(10000));
    for (const QByteArray& url : {"http://127.0.0.1:" + QByteArray::number(listener.port()) + "/", server.url("/")}) {
        HttpClientConfig config;
        config.readTimeoutMs = 0;  // no time-outs of its own: only abort() can end these
        HttpClient blocked(config);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            blocked.abort();
        });
        const FetchResult result = blocked.get(url);
        stopper.join();
        EXPECT_EQ(result.error, FetchError::Aborted) << result.text.toStdString();
        EXPECT_EQ(blocked.get(url).error, FetchError::Aborted);
    }
}

TEST(HttpClient, RedirectToAnotherSchemeFailsWithoutARequestForIt)
{
    ScriptedServer server;
    for (const char* location : {"ftp://files.test/x", "javascript:alert(1)", "data:text/html,hi"})
        server.answer(Redirect(location));
    for (const char* scheme : {"ftp", "javascript", "data"}) {
        const FetchResult result = Get(server.url("/"));
        EXPECT_EQ(result.error, FetchError::InvalidUrl);
        EXPECT_EQ(result.text, QStringLiteral("Redirect to a %1: address").arg(QString::fromLatin1(scheme)));
        EXPECT_EQ(result.redirects.size(), 1u);
    }
    EXPECT_EQ(server.requests().size(), 3);
    for (const QByteArray& request : server.requests())
        EXPECT_TRUE(request.startsWith("GET / HTTP/1.1\r\n"));
}

TEST(HttpClient, LocationWithBlanksIsSentEncoded)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().send(Redirect("/new page.html?q=a b"));
    script.readRequest().send(Ok("moved"));
    server.add(script);
    const FetchResult result = Get(server.url("/old"));
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_TRUE(server.requests().value(1).startsWith("GET /new%20page.html?q=a%20b HTTP/1.1\r\n"));
    EXPECT_EQ(result.finalUrl, server.url("/new%20page.html?q=a%20b"));
}

TEST(HttpClient, ConflictingOrNegativeLengthsFailAnyAnswer)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nwww.my-site.test");
    server.answer("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 2\r\nContent-Length: 4\r\n\r\nab");
    const FetchResult negative = Get(server.url("/"));
    EXPECT_EQ(negative.error, FetchError::ReadFailed);
    EXPECT_TRUE(negative.body.isEmpty());
    const FetchResult twoLengths = Get(server.url("/"));
    EXPECT_EQ(twoLengths.error, FetchError::ReadFailed);
    EXPECT_EQ(twoLengths.text, QStringLiteral("Answer with two different Content-Length values"));
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(HttpClient, TotalTimeEndsASlowDripAcrossRedirects)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().delay(100).send(Redirect("/slow"));
    script.readRequest().send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    for (int i = 0; i < 100; ++i)
        script.send("x").delay(50);
    server.add(script);
    server.answer(Ok("quick"));
    HttpClientConfig config;
    config.readTimeoutMs = 5000;  // every byte comes well within it
    config.totalTimeoutMs = 300;
    HttpClient client(config);
    const FetchResult slow = client.get(server.url("/"));
    EXPECT_EQ(slow.error, FetchError::ReadTimeout);
    EXPECT_EQ(slow.text, QStringLiteral("No answer within the total time of 0.3 s"));
    EXPECT_TRUE(slow.body.isEmpty());
    EXPECT_EQ(slow.redirects.size(), 1u);
    // The next fetch of the same client has its own time.
    const FetchResult quick = client.get(server.url("/"));
    ASSERT_TRUE(quick) << quick.text.toStdString();
    EXPECT_EQ(quick.body, "quick");
}

TEST(HttpClient, TotalTimeBoundsAConnectWithoutATimeOutOfItsOwn)
{
    UnresponsiveListener listener;
    HttpClientConfig config;
    config.connectTimeoutMs = 0;
    config.totalTimeoutMs = 200;
    const FetchResult result = Get("http://127.0.0.1:" + QByteArray::number(listener.port()) + "/", config);
    EXPECT_EQ(result.error, FetchError::ReadTimeout);
    EXPECT_EQ(result.text, QStringLiteral("No answer within the total time of 0.2 s"));
}

TEST(HttpClient, FailuresSayWhyInWords)
{
    ScriptedServer server;
    server.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    server.answer("HTTP/1.1 599 Whatever The Server Says\r\nContent-Length: 0\r\n\r\n");
    server.add(ServerScript().readRequest().delay(5000));
    server.answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
    UnresponsiveListener silent;
    quint16 closed;
    {
        ScriptedServer gone;
        closed = gone.port();
    }
    HttpClientConfig config;
    config.readTimeoutMs = 100;
    config.connectTimeoutMs = 100;
    const auto reason = [&](const QByteArray& url) { return Get(url, config).text; };
    EXPECT_EQ(reason(server.url("/")), QStringLiteral("HTTP 404 Not Found"));
    EXPECT_EQ(reason(server.url("/")), QStringLiteral("HTTP 599"));
    EXPECT_EQ(reason(server.url("/")), QStringLiteral("No answer within 0.1 s"));
    EXPECT_EQ(reason(server.url("/")), QStringLiteral("HTTP 200 OK, but its headers were cut off"));
    EXPECT_EQ(reason("http://127.0.0.1:" + QByteArray::number(silent.port()) + "/"),
              QStringLiteral("No connection within 0.1 s"));
    EXPECT_EQ(reason("http://127.0.0.1:" + QByteArray::number(closed) + "/"), QStringLiteral("Connection refused"));
    EXPECT_EQ(reason("www.partner.test/"), QStringLiteral("Address lacks \"http://\""));
    EXPECT_EQ(reason("http://www.partner.test:0/"), QStringLiteral("Port is not a number from 1 to 65535"));
}

TEST(HttpClient, FailureKindsHaveStableNames)
{
    const std::pair<FetchError, const char*> names[] = {
        {FetchError::None, "none"},
        {FetchError::InvalidUrl, "invalid-url"},
        {FetchError::ResolveFailed, "resolve"},
        {FetchError::ConnectFailed, "connect"},
        {FetchError::ConnectTimeout, "connect-timeout"},
        {FetchError::ProxyFailed, "proxy"},
        {FetchError::TlsFailed, "tls"},
        {FetchError::SendFailed, "send"},
        {FetchError::ReadFailed, "read"},
        {FetchError::ReadTimeout, "read-timeout"},
        {FetchError::ConnectionClosed, "closed"},
        {FetchError::LineTooLong, "too-long"},
        {FetchError::HttpStatus, "http-status"},
        {FetchError::Aborted, "aborted"},
    };
    for (const auto& [error, name] : names)
        EXPECT_STREQ(FetchErrorKind(error), name);
}

TEST(HttpClient, UnusableAddressesSendNothing)
{
    ScriptedServer server;
    server.answer(Redirect("/next\rX-Injected: 1"));  // a lone CR stays inside the value
    EXPECT_EQ(Get(server.url("/a\r\nX-Injected: 1")).error, FetchError::InvalidUrl);
    EXPECT_EQ(Get(server.authority() + "/no-scheme").error, FetchError::InvalidUrl);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(Get(server.url("/")).error, FetchError::InvalidUrl);
    EXPECT_EQ(server.requests().size(), 1);
}

}  // namespace

TEST(HttpClient, FetchTellsHowItWentOnSuccessAndOnFailure)
{
    ScriptedServer server;
    const QByteArray second = "HTTP/1.1 301 Moved\r\nLocation: /end\r\nContent-Length: 0\r\n\r\n";
    const QByteArray last = Ok("page", "Content-Type: text/html; charset=utf-8\r\nX-Robots-Tag: noindex\r\n");
    server.answer(Redirect("/next"));
    server.answer(second);
    server.answer(last);
    const FetchResult page = Get(server.url("/start#frag"));
    ASSERT_TRUE(page) << page.text.toStdString();
    EXPECT_EQ(page.finalUrl, server.url("/end"));
    EXPECT_EQ(page.redirects, (std::vector<RedirectHop>{{server.url("/start"), 302}, {server.url("/next"), 301}}));
    EXPECT_EQ(page.header("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.header("X-ROBOTS-TAG"), "noindex");
    const QByteArray firstAnswer = Redirect("/next");
    EXPECT_EQ(page.bytesReceived, firstAnswer.size() + second.size() + last.size());
    EXPECT_GE(page.elapsedMs, 0);

    // A failed fetch still names the address it tried and the redirects before it.
    ScriptedServer failing;
    failing.answer(Redirect("/gone"));
    failing.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    const FetchResult missing = Get(failing.url("/"));
    EXPECT_EQ(missing.error, FetchError::HttpStatus);
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.finalUrl, failing.url("/gone"));
    EXPECT_EQ(missing.redirects, (std::vector<RedirectHop>{{failing.url("/"), 302}}));

    const FetchResult invalid = Get("nonsense");
    EXPECT_EQ(invalid.error, FetchError::InvalidUrl);
    EXPECT_EQ(invalid.finalUrl, "nonsense");
    EXPECT_TRUE(invalid.redirects.empty());
}

TEST(HttpUrl, DisplayFormDropsTheDefaultPortOnly)
{
    EXPECT_EQ(ParseRequestUrl("HTTP://Host.test:80/a?b", nullptr).url.displayUrl(), "http://Host.test/a?b");
    EXPECT_EQ(ParseRequestUrl("https://h.test:443/", nullptr).url.displayUrl(), "https://h.test/");
    EXPECT_EQ(ParseRequestUrl("https://h.test:80/", nullptr).url.displayUrl(), "https://h.test:80/");
    EXPECT_EQ(ParseRequestUrl("http://h.test:8080", nullptr).url.displayUrl(), "http://h.test:8080/");
}
