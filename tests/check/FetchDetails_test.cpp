#include "check/FetchDetails.h"

#include <gtest/gtest.h>

namespace {

const QByteArray LinkingPage = "<a href='https://mysite.example/'>My site</a>";

FetchResult Page(int status, const QByteArray& body = LinkingPage)
{
    FetchResult fetch;
    fetch.status = status;
    fetch.body = body;
    fetch.finalUrl = "https://partner.test/links";
    return fetch;
}

TEST(FetchDetails, ASuccessfulFetchIsDescribedAndAnalysed)
{
    FetchResult fetch = Page(200);
    fetch.redirects = {{"http://partner.test/links", 301}, {"http://www.partner.test/links", 302}};
    fetch.elapsedMs = 321;
    fetch.bytesReceived = 4567;
    fetch.headers = {{"content-type", "text/html; charset=utf-8"}, {"X-Robots-Tag", "noindex"}};
    const CheckDetails details = DetailsOfFetch(fetch, "mysite.example");
    EXPECT_EQ(details.httpStatus(), 200);
    EXPECT_TRUE(details.failure().isEmpty());
    EXPECT_TRUE(details.reason().isEmpty());
    EXPECT_EQ(details.finalUrl(), "https://partner.test/links");
    ASSERT_EQ(details.redirectCount(), 2);
    EXPECT_EQ(details.redirect(0), (RedirectStep{"http://partner.test/links", 301}));
    EXPECT_EQ(details.elapsedMs(), 321);
    EXPECT_EQ(details.bytesReceived(), 4567);
    EXPECT_EQ(details.contentType(), "text/html; charset=utf-8");
    EXPECT_FALSE(details.blocked());
    EXPECT_EQ(details.extent(), AnalysisExtent::Whole);
    EXPECT_EQ(details.linkKind(), LinkKind::Followed);
    EXPECT_EQ(details.anchorText(), "My site");
    EXPECT_TRUE(details.noindex());

    // An empty 2xx page is analysed: it has no link.
    EXPECT_EQ(DetailsOfFetch(Page(204, {}), "mysite.example").linkKind(), LinkKind::None);
}

TEST(FetchDetails, AFailedFetchSaysWhyAndIsNotAnalysed)
{
    FetchResult fetch = FetchResult::failure(FetchError::HttpStatus, QStringLiteral("HTTP 404 Not Found"), 404);
    fetch.body = LinkingPage;
    fetch.finalUrl = "https://partner.test/gone";
    const CheckDetails details = DetailsOfFetch(fetch, "mysite.example");
    EXPECT_EQ(details.httpStatus(), 404);
    EXPECT_EQ(details.failure(), "http-status");
    EXPECT_EQ(details.reason(), QStringLiteral("HTTP 404 Not Found"));
    EXPECT_EQ(details.finalUrl(), "https://partner.test/gone");
    EXPECT_EQ(details.linkKind(), LinkKind::Unknown);
    EXPECT_EQ(details.extent(), AnalysisExtent::NotAnalysed);

    const CheckDetails refused = DetailsOfFetch(
        FetchResult::failure(FetchError::ConnectFailed, QStringLiteral("Connection refused")), "mysite.example");
    EXPECT_EQ(refused.httpStatus(), 0);
    EXPECT_EQ(refused.failure(), "connect");
    EXPECT_FALSE(refused.blocked());

    // A status line without a number is no status.
    EXPECT_EQ(DetailsOfFetch(FetchResult::failure(FetchError::HttpStatus, QStringLiteral("x"), -1), "x").httpStatus(),
              0);
    // A redirect chain that ends still redirecting brings no page to analyse.
    EXPECT_EQ(DetailsOfFetch(Page(302, {}), "mysite.example").linkKind(), LinkKind::Unknown);
}

TEST(FetchDetails, BothTriesOfARetriedFetchAreKept)
{
    FetchResult fetch = Page(200);
    fetch.attempts = {{FetchError::HttpStatus, 503, QStringLiteral("HTTP 503 Service Unavailable"), 0, 12, 90},
                      {FetchError::None, 200, {}, 1500, 8, 400}};
    const CheckDetails details = DetailsOfFetch(fetch, "mysite.example");
    ASSERT_EQ(details.attemptCount(), 2);
    EXPECT_EQ(details.attempt(0),
              (AttemptStep{"http-status", 503, QStringLiteral("HTTP 503 Service Unavailable"), 0, 12}));
    EXPECT_EQ(details.attempt(1), (AttemptStep{{}, 200, {}, 1500, 8}));
    EXPECT_EQ(details.linkKind(), LinkKind::Followed);

    // One try tells nothing the other fields do not.
    fetch.attempts.resize(1);
    EXPECT_EQ(DetailsOfFetch(fetch, "mysite.example").attemptCount(), 0);
}

TEST(FetchDetails, BotProtectionAndRateLimitsAreBlocked)
{
    for (const int status : {401, 403, 429, 999}) {
        const CheckDetails details =
            DetailsOfFetch(FetchResult::failure(FetchError::HttpStatus, QStringLiteral("blocked"), status), "x");
        EXPECT_TRUE(details.blocked()) << status;
    }
    for (const int status : {200, 404, 500, 503}) {
        FetchResult fetch = Page(status);
        EXPECT_FALSE(IsBlocked(fetch)) << status;
    }
    FetchResult challenge = Page(200, "<a href='https://mysite.example/'>Just a moment...</a>");
    challenge.headers = {{"CF-Mitigated", " Challenge "}};
    const CheckDetails details = DetailsOfFetch(challenge, "mysite.example");
    EXPECT_TRUE(details.blocked());
    EXPECT_EQ(details.linkKind(), LinkKind::Unknown);

    for (const char* action : {"challenge", "CAPTCHA"}) {
        FetchResult waf = Page(405);
        waf.headers = {{"x-amzn-waf-action", action}};
        EXPECT_TRUE(IsBlocked(waf)) << action;
    }
    FetchResult other = Page(200);
    other.headers = {{"cf-mitigated", "none"}, {"x-amzn-waf-action", "allow"}};
    EXPECT_FALSE(IsBlocked(other));
}

}  // namespace
