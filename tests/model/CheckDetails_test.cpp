#include "model/CheckDetails.h"

#include <gtest/gtest.h>

namespace {

CheckFacts FullFacts()
{
    CheckFacts facts;
    facts.httpStatus = 200;
    facts.reason = QStringLiteral("Zertifikat abgelaufen – ça arrive");
    facts.finalUrl = "https://www.partner.test/links/";
    facts.redirects = {{"http://partner.test/links", 301}, {"https://partner.test/links", 302}};
    facts.elapsedMs = 1234;
    facts.bytesReceived = 98765;
    facts.contentType = "text/html; charset=utf-8";
    facts.blocked = true;
    LinkAnalysis& analysis = facts.analysis;
    analysis.kind = LinkKind::Nofollow;
    analysis.extent = AnalysisExtent::Prefix;
    analysis.noindex = true;
    analysis.pageNofollow = false;
    analysis.canonicalElsewhere = true;
    analysis.href = "https://mysite.example/";
    analysis.rel = "nofollow noopener";
    analysis.anchorText = "My site \xe2\x80\x93 home";
    analysis.canonical = "https://partner.test/links/";
    analysis.evidence = "<p>See <a rel=nofollow href=https://mysite.example/>My site</a></p>";
    analysis.matchStart = 7;
    analysis.matchLength = 53;
    facts.attempts = {{"read-timeout", 0, QStringLiteral("No answer within 30 s"), 0, 30012},
                      {{}, 200, {}, 2000, 1234}};
    return facts;
}

TEST(CheckDetails, KeepsEveryFactItIsGiven)
{
    const CheckFacts facts = FullFacts();
    const CheckDetails details(facts);
    EXPECT_EQ(details.facts(), facts);
    EXPECT_EQ(details.httpStatus(), 200);
    EXPECT_EQ(details.redirectCount(), 2);
    EXPECT_EQ(details.redirect(1), (RedirectStep{"https://partner.test/links", 302}));
    EXPECT_EQ(details.redirect(2), RedirectStep());
    EXPECT_EQ(details.reason(), facts.reason);
    EXPECT_EQ(details.evidence(), facts.analysis.evidence);
    EXPECT_EQ(details.relTokens(), (QList<QByteArrayView>{"nofollow", "noopener"}));
    EXPECT_TRUE(details.blocked());
    EXPECT_TRUE(details.noindex());
    EXPECT_FALSE(details.pageNofollow());
    EXPECT_TRUE(details.canonicalElsewhere());
    ASSERT_EQ(details.attemptCount(), 2);
    EXPECT_EQ(details.attempt(0), facts.attempts[0]);
    EXPECT_EQ(details.attempt(1).pauseMs, 2000);
    EXPECT_EQ(details.attempt(2), AttemptStep());

    CheckFacts failed;
    failed.failure = "connect-timeout";
    failed.reason = QStringLiteral("No answer within 30 s");
    failed.finalUrl = "http://partner.test/";
    const CheckDetails failure(failed);
    EXPECT_FALSE(failure.isNull());
    EXPECT_EQ(failure.facts(), failed);
    EXPECT_EQ(failure.linkKind(), LinkKind::Unknown);
    EXPECT_TRUE(failure.href().isEmpty());
    EXPECT_TRUE(failure.relTokens().isEmpty());
}

TEST(CheckDetails, NoCheckIsNullAndDiffersFromAnEmptyCheck)
{
    const CheckDetails none;
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.facts(), CheckFacts());
    EXPECT_TRUE(none.finalUrl().isEmpty());
    EXPECT_EQ(none.redirect(0), RedirectStep());
    EXPECT_FALSE(CheckDetails(CheckFacts()).isNull());
    EXPECT_NE(none, CheckDetails(CheckFacts()));
    EXPECT_EQ(CheckDetails(CheckFacts()), CheckDetails(CheckFacts()));
}

TEST(CheckDetails, EqualityTellsEveryFieldApart)
{
    const CheckDetails base(FullFacts());
    EXPECT_EQ(base, CheckDetails(FullFacts()));
    const auto differs = [&](auto change) {
        CheckFacts facts = FullFacts();
        change(facts);
        return !(CheckDetails(facts) == base);
    };
    EXPECT_TRUE(differs([](CheckFacts& f) { f.httpStatus = 404; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.redirects.removeLast(); }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.redirects[0].status = 308; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.elapsedMs += 1; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.blocked = false; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.analysis.kind = LinkKind::Followed; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.analysis.pageNofollow = true; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.analysis.matchStart = 8; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.attempts.removeLast(); }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.attempts[1].pauseMs = 1000; }));
    EXPECT_TRUE(differs([](CheckFacts& f) { f.attempts[0].failure = "read"; }));
    // The same bytes moved from one text to the next are a different value.
    EXPECT_TRUE(differs([](CheckFacts& f) {
        f.analysis.href.chop(1);
        f.analysis.rel.prepend('/');
    }));
}

TEST(CheckDetails, OutOfRangeValuesAreKeptInRange)
{
    // A value read back from a hand-edited store must not point the highlight outside the evidence.
    CheckFacts facts;
    facts.httpStatus = 70000;
    facts.elapsedMs = -5;
    facts.redirects = {{"http://a.test/", -1}};
    facts.attempts = {{"connect", 1000, {}, -1, qint64(1) << 40}};
    facts.analysis.evidence = "0123456789";
    facts.analysis.matchStart = 8;
    facts.analysis.matchLength = 400;
    const CheckDetails details(facts);
    EXPECT_EQ(details.httpStatus(), 0);
    EXPECT_EQ(details.elapsedMs(), 0);
    EXPECT_EQ(details.redirect(0).status, 0);
    EXPECT_EQ(details.attempt(0), (AttemptStep{"connect", 0, {}, 0, 0x7fffffff}));
    EXPECT_EQ(details.matchStart(), 8);
    EXPECT_EQ(details.matchLength(), 2);

    facts.analysis.matchStart = -3;
    EXPECT_EQ(CheckDetails(facts).matchStart(), 0);
    facts.analysis.matchStart = 50;
    EXPECT_EQ(CheckDetails(facts).matchStart(), 10);
    EXPECT_EQ(CheckDetails(facts).matchLength(), 0);
}

}  // namespace
