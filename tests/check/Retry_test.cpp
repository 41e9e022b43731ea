// One more try after a passing fault, with every attempt told.
#include "check/HttpClient.h"
#include "check/RetryPolicy.h"

#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

QByteArray Ok(QByteArray body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Status(const char* status, const QByteArray& extra = {})
{
    return "HTTP/1.1 " + QByteArray(status) + "\r\n" + extra + "Content-Length: 0\r\n\r\n";
}

HttpClientConfig Retrying()
{
    HttpClientConfig config;
    config.retry = true;
    config.retryPauseMs = 10;
    config.readTimeoutMs = 200;
    config.connectTimeoutMs = 200;
    return config;
}

FetchResult Get(const QByteArray& url, const HttpClientConfig& config = Retrying())
{
    return HttpClient(config).get(url);
}

TEST(Retry, PassingFaultsAreTriedOnceMoreAndBothAttemptsAreTold)
{
    ScriptedServer server;
    for (const char* status :
         {"429 Too Many Requests", "502 Bad Gateway", "503 Service Unavailable", "504 Gateway Timeout"}) {
        server.answer(Status(status));
        server.answer(Ok("second time"));
    }
    server.add(ServerScript().readRequest().delay(2000));  // a read time-out
    server.answer(Ok("second time"));
    server.add(ServerScript().readRequest().reset());
    server.answer(Ok("second time"));
    for (const int status : {429, 502, 503, 504, 0, 0}) {
        const FetchResult result = Get(server.url("/"));
        ASSERT_TRUE(result) << status << ": " << result.text.toStdString();
        EXPECT_EQ(result.body, "second time");
        ASSERT_EQ(result.attempts.size(), 2u) << status;
        EXPECT_EQ(result.attempts[0].status, status);
        EXPECT_EQ(result.attempts[0].waitMs, 0);
        EXPECT_EQ(result.attempts[1],
                  (FetchAttempt{
                      FetchError::None, 200, {}, 10, result.attempts[1].elapsedMs, result.attempts[1].bytesReceived}));
    }
}

TEST(Retry, AttemptsTellKindReasonAndSize)
{
    ScriptedServer server;
    const QByteArray unavailable = Status("503 Service Unavailable");
    server.answer(unavailable);
    server.answer(unavailable);
    const FetchResult result = Get(server.url("/"));
    EXPECT_EQ(result.error, FetchError::HttpStatus);
    EXPECT_EQ(result.text, QStringLiteral("HTTP 503 Service Unavailable"));
    ASSERT_EQ(result.attempts.size(), 2u);
    for (const FetchAttempt& attempt : result.attempts) {
        EXPECT_EQ(attempt.error, FetchError::HttpStatus);
        EXPECT_EQ(attempt.status, 503);
        EXPECT_EQ(attempt.reason, QStringLiteral("HTTP 503 Service Unavailable"));
        EXPECT_EQ(attempt.bytesReceived, unavailable.size());
    }
    EXPECT_EQ(result.bytesReceived, 2 * unavailable.size());
}

TEST(Retry, OtherFailuresAndASwitchedOffRetryTryOnce)
{
    ScriptedServer server;
    server.answer(Status("404 Not Found"));
    server.answer(Status("500 Internal Server Error"));
    server.answer(Status("503 Service Unavailable"));
    server.answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab");  // closed inside the page
    EXPECT_EQ(Get(server.url("/")).attempts.size(), 1u);
    EXPECT_EQ(Get(server.url("/")).attempts.size(), 1u);
    HttpClientConfig off = Retrying();
    off.retry = false;
    EXPECT_EQ(Get(server.url("/"), off).attempts.size(), 1u);
    EXPECT_EQ(Get(server.url("/")).attempts.size(), 1u);
    EXPECT_EQ(Get("nonsense").attempts.size(), 1u);
    EXPECT_EQ(server.requests().size(), 4);
}

TEST(Retry, ConnectTimeOutIsTriedAgain)
{
    UnresponsiveListener listener;
    const FetchResult result = Get("http://127.0.0.1:" + QByteArray::number(listener.port()) + "/");
    EXPECT_EQ(result.error, FetchError::ConnectTimeout);
    ASSERT_EQ(result.attempts.size(), 2u);
    EXPECT_EQ(result.attempts[0].error, FetchError::ConnectTimeout);
}

TEST(Retry, RetryAfterSetsThePauseUpToHalfAMinute)
{
    ScriptedServer server;
    server.answer(Status("429 Too Many Requests", "Retry-After: 1\r\n"));
    server.answer(Ok("after a second"));
    server.answer(Status("503 Service Unavailable", "Retry-After: 0\r\n"));
    server.answer(Ok("at once"));
    server.answer(Status("503 Service Unavailable", "Retry-After: 120\r\n"));
    server.answer(Status("502 Bad Gateway", "Retry-After: 120\r\n"));  // only 429 and 503 are asked to wait
    server.answer(Ok("after the usual pause"));

    const FetchResult waited = Get(server.url("/"));
    ASSERT_TRUE(waited) << waited.text.toStdString();
    EXPECT_EQ(waited.attempts.at(1).waitMs, 1000);
    const FetchResult atOnce = Get(server.url("/"));
    ASSERT_TRUE(atOnce);
    EXPECT_EQ(atOnce.attempts.at(1).waitMs, 0);

    const FetchResult tooLong = Get(server.url("/"));
    EXPECT_EQ(tooLong.error, FetchError::HttpStatus);
    EXPECT_EQ(tooLong.status, 503);
    EXPECT_EQ(tooLong.text, QStringLiteral("HTTP 503 Service Unavailable; the server asks to wait 120 s"));
    ASSERT_EQ(tooLong.attempts.size(), 1u);
    EXPECT_EQ(tooLong.attempts[0].reason, tooLong.text);

    const FetchResult badGateway = Get(server.url("/"));
    ASSERT_TRUE(badGateway);
    EXPECT_EQ(badGateway.attempts.at(1).waitMs, 10);
}

TEST(Retry, PauseEndsOnAbortAndNeverOutlastsTheTotalTime)
{
    ScriptedServer server;
    server.answer(Status("503 Service Unavailable"));
    server.answer(Status("503 Service Unavailable"));
    HttpClientConfig config = Retrying();
    config.retryPauseMs = 60000;
    HttpClient client(config);
    std::thread stopper([&] {
        while (server.requests().isEmpty())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        client.abort();
    });
    const FetchResult stopped = client.get(server.url("/"));
    stopper.join();
    EXPECT_EQ(stopped.error, FetchError::Aborted);
    ASSERT_EQ(stopped.attempts.size(), 2u);
    EXPECT_EQ(stopped.attempts[1].error, FetchError::Aborted);

    config.totalTimeoutMs = 5000;  // less than the pause: the first failure stands
    const FetchResult once = Get(server.url("/"), config);
    EXPECT_EQ(once.status, 503);
    EXPECT_EQ(once.attempts.size(), 1u);
}

TEST(Retry, RetryAfterReadsSecondsAndHttpDates)
{
    const QDateTime now(QDate(1994, 11, 6), QTime(8, 49, 7), Qt::UTC);
    EXPECT_EQ(RetryAfterMs("30", now), 30000);
    EXPECT_EQ(RetryAfterMs(" 0 ", now), 0);
    EXPECT_EQ(RetryAfterMs("Sun, 06 Nov 1994 08:49:37 GMT", now), 30000);
    EXPECT_EQ(RetryAfterMs("Sun, 06 Nov 1994 08:48:00 GMT", now), 0);
    EXPECT_GT(*RetryAfterMs("99999999999999999999", now), 30000);
    for (const char* bad : {"", "-1", "1.5", "soon", "Sun, 06 Nov 1994 08:49:37", "Sun, 32 Nov 1994 08:49:37 GMT"})
        EXPECT_FALSE(RetryAfterMs(bad, now)) << bad;
}

}  // namespace
