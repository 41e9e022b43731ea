// Pages built to break a parser: each must end, within the analysis' bounds, without a crash, on a
// thread whose stack is far smaller than a worker's.

#include "check/PageAnalysis.h"

#include <gtest/gtest.h>

#include <pthread.h>

namespace {

constexpr uint SmallStack = 512 * 1024;
const QByteArray Link = "<a href='https://mysite.example/'>My site</a>";

struct SmallStackJob {
    const QByteArray& page;
    const ParseLimits& limits;
    const ResponseHeaders& headers;
    LinkAnalysis analysis;
};

// On a thread with a small stack, as a worker may have, so that recursion over a deep page shows.
// A plain POSIX thread: the race detector follows its start and join, but not QThread's wait.
LinkAnalysis AnalyseOnSmallStack(const QByteArray& page, const ParseLimits& limits = ParseLimits(),
                                 const ResponseHeaders& headers = {})
{
    SmallStackJob job{page, limits, headers, {}};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, SmallStack);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
            auto* job = static_cast<SmallStackJob*>(argument);
            job->analysis = AnalysePage(job->page, job->headers, "http://partner.test/", "mysite.example", job->limits);
            return nullptr;
        },
        &job);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        ADD_FAILURE() << "no thread";
        return {};
    }
    pthread_join(thread, nullptr);
    return job.analysis;
}

// Either the analysis finished and found the link at the end, or it gave up within its budget.
void ExpectLinkOrGivenUp(const LinkAnalysis& analysis)
{
    if (analysis.extent == AnalysisExtent::Abandoned) {
        EXPECT_EQ(analysis.kind, LinkKind::Unknown);
        EXPECT_EQ(analysis.evidence.mid(analysis.matchStart, analysis.matchLength), "mysite.example");
    } else {
        EXPECT_EQ(analysis.extent, AnalysisExtent::Whole);
        EXPECT_EQ(analysis.kind, LinkKind::Followed);
    }
}

TEST(HostilePages, DeepNestingIsWalkedWithoutRecursion)
{
    // Cheap for the parser and 100,000 levels deep: the link at the bottom must be found.
    const LinkAnalysis spans = AnalyseOnSmallStack(QByteArray("<span>").repeated(100000) + Link);
    EXPECT_EQ(spans.extent, AnalysisExtent::Whole);
    EXPECT_EQ(spans.kind, LinkKind::Followed);
    EXPECT_EQ(spans.anchorText, "My site");

    // Deep trees the parser's own clean-up would recurse over, and nesting it handles in quadratic time.
    for (const char* level : {"<table><tr><td>", "<div>", "<b><i><u><s>", "<a><b>", "<math><mi>", "<li><ul>"})
        ExpectLinkOrGivenUp(AnalyseOnSmallStack(QByteArray(level).repeated(100000) + Link));
}

TEST(HostilePages, UnclosedFormattingTagsEnd)
{
    // The adoption agency algorithm on misnested formatting elements can be quadratic.
    for (const char* tag : {"<a href=x>", "<b>", "<b>x</i>", "<font><p>", "<b><div>"})
        ExpectLinkOrGivenUp(AnalyseOnSmallStack(QByteArray(tag).repeated(100000) + Link));
    ExpectLinkOrGivenUp(
        AnalyseOnSmallStack(QByteArray("<b><div>").repeated(50000) + QByteArray("</b>").repeated(50000) + Link));
}

TEST(HostilePages, HugeAttributesAndUnterminatedMarkup)
{
    const QByteArray huge(4 << 20, 'x');
    EXPECT_EQ(AnalyseOnSmallStack("<a href='/" + huge + "'>x</a><p title='" + huge + "'>" + Link).kind,
              LinkKind::Followed);
    EXPECT_EQ(AnalyseOnSmallStack(Link + "<!-- " + huge).kind, LinkKind::Followed);
    EXPECT_EQ(AnalyseOnSmallStack("<!-- " + Link + huge).kind, LinkKind::Mention);
    EXPECT_EQ(AnalyseOnSmallStack("<a href='https://mysite.example/" + huge).kind, LinkKind::Mention);
    EXPECT_EQ(AnalyseOnSmallStack("<script>" + Link + huge).kind, LinkKind::Mention);
    EXPECT_EQ(AnalyseOnSmallStack(QByteArray("<!DOCTYPE ") + huge + Link).kind, LinkKind::Mention);
}

TEST(HostilePages, NulBytesAndInvalidUtf8)
{
    const QByteArray garbage("\0\xff\xfe\xc3<\0a\x80\xed\xa0\x80\xf4\x90\x80\x80", 16);
    const LinkAnalysis after = AnalyseOnSmallStack(garbage.repeated(1000) + "<a href='https://mysite.example/'>\xc3" +
                                                   garbage + "</a>" + garbage);
    EXPECT_EQ(after.kind, LinkKind::Followed);
    EXPECT_TRUE(after.anchorText.startsWith("\xef\xbf\xbd"));
    EXPECT_EQ(QString::fromUtf8(after.anchorText).toUtf8(), after.anchorText);

    // A NUL in the host makes no usable address, and the byte search does not see the name either.
    const LinkAnalysis nul = AnalyseOnSmallStack(QByteArray("<a href='https://mysite.ex\0ample/'>x</a>", 40));
    EXPECT_EQ(nul.kind, LinkKind::None);
}

TEST(HostilePages, APageBeyondTheMemoryBudgetIsGivenUp)
{
    ParseLimits limits;
    limits.baseMemory = 1 << 20;
    limits.memoryPerByte = 0;
    const LinkAnalysis analysis = AnalyseOnSmallStack(QByteArray("<b><p>").repeated(20000) + Link, limits,
                                                      {{"X-Robots-Tag", "noindex"}, {"Link", "</c>; rel=canonical"}});
    EXPECT_EQ(analysis.extent, AnalysisExtent::Abandoned);
    EXPECT_EQ(analysis.kind, LinkKind::Unknown);
    EXPECT_TRUE(analysis.href.isEmpty());
    // What the headers and the byte search tell still holds.
    EXPECT_TRUE(analysis.noindex);
    EXPECT_EQ(analysis.canonical, "http://partner.test/c");
    EXPECT_EQ(analysis.evidence.mid(analysis.matchStart, analysis.matchLength), "mysite.example");

    const HtmlDocument document(QByteArray("<b><p>").repeated(20000), limits);
    EXPECT_EQ(document.outcome(), HtmlDocument::Outcome::Abandoned);
    EXPECT_EQ(document.document(), nullptr);
    EXPECT_LE(document.peakMemory(), limits.baseMemory);
}

TEST(HostilePages, APageBeyondTheTimeBudgetIsGivenUp)
{
    ParseLimits limits;
    limits.baseCpuMs = 0;
    limits.cpuMsPerMiB = 0;
    EXPECT_EQ(AnalyseOnSmallStack(QByteArray("<i>").repeated(1000) + Link, limits).extent, AnalysisExtent::Abandoned);
}

TEST(HostilePages, OnlyTheBeginningOfAVeryLongPageIsParsed)
{
    ParseLimits limits;
    limits.maxBytes = 1024;
    const QByteArray filler = QByteArray("<p>words</p>").repeated(200);
    const LinkAnalysis early = AnalyseOnSmallStack(Link + filler, limits);
    EXPECT_EQ(early.extent, AnalysisExtent::Prefix);
    EXPECT_EQ(early.kind, LinkKind::Followed);

    // Past the parsed part the byte search still finds the address.
    const LinkAnalysis late = AnalyseOnSmallStack(filler + Link, limits);
    EXPECT_EQ(late.extent, AnalysisExtent::Prefix);
    EXPECT_EQ(late.kind, LinkKind::Mention);

    // A link cut by the end of the parsed part is still a link, with the evidence it has.
    const LinkAnalysis cut = AnalyseOnSmallStack(QByteArray(980, ' ') + Link + filler, limits);
    EXPECT_EQ(cut.kind, LinkKind::Followed);
    EXPECT_TRUE(cut.evidence.startsWith(' '));
}

}  // namespace
