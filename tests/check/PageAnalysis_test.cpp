#include "check/PageAnalysis.h"

#include "check/PageMatch.h"
#include "check/WebUrl.h"
#include "check/WebsiteAddress.h"

#include <gtest/gtest.h>

namespace {

const QByteArray PartnerPage = "http://partner.test/links/index.html";

LinkAnalysis Analyse(const QByteArray& body, QByteArrayView website = "mysite.example",
                     const ResponseHeaders& headers = {}, QByteArrayView finalUrl = PartnerPage)
{
    return AnalysePage(body, headers, finalUrl, website);
}

LinkKind Kind(const QByteArray& body, QByteArrayView website = "mysite.example")
{
    return Analyse(body, website).kind;
}

bool Points(QByteArrayView href, QByteArrayView website = "mysite.example")
{
    const std::optional<WebUrl> url = WebUrl::parse(href);
    return url && WebsiteAddress(website).isTargetOf(*url);
}

TEST(PageAnalysis, OnlyAnchorAndAreaElementsWithAnHrefAreLinks)
{
    EXPECT_EQ(Kind("<a href='https://mysite.example/'>x</a>"), LinkKind::Followed);
    EXPECT_EQ(Kind("<map><area href='https://mysite.example/' alt=x></map>"), LinkKind::Followed);
    for (const char* page : {
             "<!-- <a href='https://mysite.example/'>x</a> -->",
             "<script>document.write(\"<a href='https://mysite.example/'>x</a>\")</script>",
             "<style>a[href='https://mysite.example/']{}</style>",
             "<template><a href='https://mysite.example/'>x</a></template>",
             "<img src='https://mysite.example/logo.png' data-href='https://mysite.example/'>",
             "<link rel=me href='https://mysite.example/'>",
             "<a name='https://mysite.example/'>x</a>",
             "<textarea><a href='https://mysite.example/'>x</a></textarea>",
             "<svg><a href='https://mysite.example/'><text>x</text></a></svg>",
             "Visit https://mysite.example/ today",
         })
        EXPECT_EQ(Kind(page), LinkKind::Mention) << page;
    EXPECT_EQ(Kind("<a href='https://partner.test/'>mysite</a>"), LinkKind::None);
    EXPECT_EQ(Kind(""), LinkKind::None);
}

TEST(PageAnalysis, AnEntityEncodedLinkIsALinkThoughTheByteSearchMissesIt)
{
    const QByteArray page = "<p><a href=\"https&#58;//mysite&#46;example/\">Friends</a></p>";
    EXPECT_FALSE(MatchPage(page, "mysite.example"));
    const LinkAnalysis analysis = Analyse(page);
    EXPECT_EQ(analysis.kind, LinkKind::Followed);
    EXPECT_EQ(analysis.href, "https://mysite.example/");
    EXPECT_EQ(analysis.anchorText, "Friends");
}

TEST(PageAnalysis, HrefsResolveAgainstTheFirstBaseOrTheFinalUrl)
{
    EXPECT_EQ(Analyse("<a href='../about'>x</a>", "partner.test/about").href, "http://partner.test/about");
    EXPECT_EQ(Analyse("<base target=_top><base href='https://mysite.example/blog/'><base href='http://other.test/'>"
                      "<a href='post?id=1#c'>x</a>")
                  .href,
              "https://mysite.example/blog/post?id=1#c");
    // A base that is no http address leaves the final URL as the base.
    EXPECT_EQ(Analyse("<base href='mailto:x@y'><a href='/x'>x</a>", "partner.test").href, "http://partner.test/x");
    EXPECT_EQ(Analyse("<a href=' \n//MySite.Example\\a '>x</a>").href, "http://mysite.example/a");
    for (const char* page : {"<a href='javascript:location=\"https://mysite.example/\"'>x</a>",
                             "<a href='mailto:me@mysite.example'>x</a>", "<a href='ftp://mysite.example/'>x</a>"})
        EXPECT_EQ(Kind(page), LinkKind::Mention) << page;
}

TEST(PageAnalysis, ALinkPointsToTheWebsiteItsSubdomainsAndItsPathOnly)
{
    EXPECT_TRUE(Points("https://mysite.example/"));
    EXPECT_TRUE(Points("http://WWW.MySite.Example./page"));
    EXPECT_TRUE(Points("http://shop.mysite.example:8080/"));
    EXPECT_TRUE(Points("https://mysite.example/", "www.mysite.example"));
    EXPECT_TRUE(Points("https://www.mysite.example/", "HTTP://WWW.MYSITE.EXAMPLE/"));
    EXPECT_FALSE(Points("https://mysite.example.evil.test/"));
    EXPECT_FALSE(Points("https://evilmysite.example/"));
    EXPECT_FALSE(Points("https://mysite.example@evil.test/"));
    EXPECT_FALSE(Points("https://user:pw@mysite.example/"));
    EXPECT_FALSE(Points("https://example/"));
    EXPECT_FALSE(Points("https://mysite.example/", ""));
    EXPECT_FALSE(Points("https://mysite.example/", "http:///"));

    // Names outside ASCII compare in their IDNA form, whichever form either side uses.
    EXPECT_TRUE(Points("http://xn--bcher-kva.example/",
                       "B\xc3\x9c"
                       "CHER.example"));
    EXPECT_TRUE(Points("http://www.b\xc3\xbc"
                       "cher.example/",
                       "xn--bcher-kva.example"));

    // A path after the host is a prefix, and the port is no part of it.
    EXPECT_TRUE(Points("https://mysite.example/blog/post", "mysite.example:8080/blog/"));
    EXPECT_TRUE(Points("https://mysite.example/blog", "mysite.example/blog/"));
    EXPECT_TRUE(Points("https://mysite.example/blog/../blog/x", "http://mysite.example/blog?ref=1"));
    EXPECT_FALSE(Points("https://mysite.example/shop/", "mysite.example/blog"));
    EXPECT_FALSE(Points("https://mysite.example/", "mysite.example/blog"));
    EXPECT_TRUE(Points("https://mysite.example/caf%C3%A9/x", "mysite.example/caf\xc3\xa9"));
}

TEST(PageAnalysis, RelTokensDecideWhetherALinkIsFollowed)
{
    EXPECT_EQ(Kind("<a rel='NoFollow' href='//mysite.example/'>x</a>"), LinkKind::Nofollow);
    EXPECT_EQ(Kind("<a rel='noopener\tSPONSORED' href='//mysite.example/'>x</a>"), LinkKind::Nofollow);
    EXPECT_EQ(Kind("<area rel='ugc' href='//mysite.example/'>"), LinkKind::Nofollow);
    EXPECT_EQ(Kind("<a rel='nofollowed external' href='//mysite.example/'>x</a>"), LinkKind::Followed);
    EXPECT_EQ(Kind("<a rel='no-follow,nofollow' href='//mysite.example/'>x</a>"), LinkKind::Followed);
    EXPECT_EQ(Analyse("<a rel=' Noopener \n  EXTERNAL ' href='//mysite.example/'>x</a>").rel, "noopener external");
}

TEST(PageAnalysis, RobotsDirectivesOfMetaElementsAndHeadersAddUp)
{
    const auto robots = [](const QByteArray& page, const ResponseHeaders& headers = {}) {
        const LinkAnalysis analysis =
            Analyse(page + "<a href='https://mysite.example/'>x</a>", "mysite.example", headers);
        return std::make_pair(analysis.noindex, analysis.pageNofollow);
    };
    using Pair = std::pair<bool, bool>;
    EXPECT_EQ(robots(""), Pair(false, false));
    EXPECT_EQ(robots("<meta name=ROBOTS content=' NoIndex , follow'>"), Pair(true, false));
    EXPECT_EQ(robots("<meta name=googlebot content=nofollow>"), Pair(false, true));
    EXPECT_EQ(robots("<meta name=robots content=NONE>"), Pair(true, true));
    EXPECT_EQ(robots("<meta name=robots content=noindex><meta name=googlebot content=nofollow>"), Pair(true, true));
    EXPECT_EQ(robots("<meta name=bingbot content=none><meta content=none>"), Pair(false, false));
    EXPECT_EQ(robots("<meta name=robots content='noindex nofollow'>"), Pair(false, false));

    EXPECT_EQ(robots("", {{"X-Robots-Tag", "noindex"}, {"x-robots-tag", "googlebot: nofollow"}}), Pair(true, true));
    EXPECT_EQ(robots("", {{"X-Robots-Tag", "otherbot: none"}}), Pair(false, false));
    EXPECT_EQ(robots("", {{"X-Robots-Tag", "otherbot: noindex, nofollow"}}), Pair(false, false));
    EXPECT_EQ(robots("", {{"X-Robots-Tag", "noindex, otherbot: nofollow"}}), Pair(true, false));
    EXPECT_EQ(robots("", {{"X-Robots-Tag", "GoogleBot: None"}}), Pair(true, true));
    EXPECT_EQ(robots("", {{"X-Robots-Tag", "unavailable_after: 25 Jun 2010 15:00:00 PST, nofollow"}}),
              Pair(false, true));
    EXPECT_EQ(robots("<meta name=robots content=noindex>", {{"X-Robots-Tag", "nofollow"}}), Pair(true, true));

    // A page-wide nofollow leaves no link followed.
    EXPECT_EQ(Kind("<meta name=robots content=nofollow><a href='https://mysite.example/'>x</a>"), LinkKind::Nofollow);
    EXPECT_EQ(Analyse("<a href='https://mysite.example/'>x</a>", "mysite.example", {{"X-Robots-Tag", "none"}}).kind,
              LinkKind::Nofollow);
}

TEST(PageAnalysis, CanonicalComesFromTheFirstLinkElementOrAHeader)
{
    const auto canonical = [](const QByteArray& page, const ResponseHeaders& headers = {}) {
        const LinkAnalysis analysis = Analyse(page, "mysite.example", headers);
        return std::make_pair(analysis.canonical, analysis.canonicalElsewhere);
    };
    using Pair = std::pair<QByteArray, bool>;
    EXPECT_EQ(canonical(""), Pair("", false));
    EXPECT_EQ(canonical("<link rel=canonical href='index.html'>"), Pair(PartnerPage, false));
    EXPECT_EQ(canonical("<link rel='Canonical' href='HTTP://Partner.TEST:80/links/index.html#top'>"),
              Pair("http://partner.test/links/index.html#top", false));
    EXPECT_EQ(canonical("<link rel='alternate canonical' href='/other'><link rel=canonical href='/third'>"),
              Pair("http://partner.test/other", true));
    EXPECT_EQ(canonical("",
                        {{"Link",
                          "</style.css>; rel=preload, <index.html>; title=\"a, b\"; "
                          "rel=\"next Canonical\""}}),
              Pair(PartnerPage, false));
    EXPECT_EQ(canonical("<link rel=canonical href='/a'>", {{"Link", "</b>; rel=canonical"}}),
              Pair("http://partner.test/a", true));
    EXPECT_EQ(Analyse("<link rel=canonical href='https://partner.test:443'>", "x", {}, "https://partner.test/")
                  .canonicalElsewhere,
              false);
}

TEST(PageAnalysis, TheShownLinkIsTheFirstFollowedOneOrElseTheFirst)
{
    const LinkAnalysis analysis = Analyse("<a rel=nofollow href='https://mysite.example/1'>one</a>"
                                          "<a href='https://partner.test/'>elsewhere</a>"
                                          "<a rel='External' href='https://mysite.example/2'>  two \n\t words </a>"
                                          "<a href='https://mysite.example/3'>three</a>");
    EXPECT_EQ(analysis.kind, LinkKind::Followed);
    EXPECT_EQ(analysis.href, "https://mysite.example/2");
    EXPECT_EQ(analysis.rel, "external");
    EXPECT_EQ(analysis.anchorText, "two words");

    const LinkAnalysis nofollow = Analyse("<a rel=ugc href='https://mysite.example/1'>one</a>"
                                          "<a rel=sponsored href='https://mysite.example/2'>two</a>");
    EXPECT_EQ(nofollow.kind, LinkKind::Nofollow);
    EXPECT_EQ(nofollow.href, "https://mysite.example/1");
    EXPECT_EQ(nofollow.rel, "ugc");
}

TEST(PageAnalysis, AnchorTextIsTheVisibleTextOrTheImagesAlt)
{
    const auto anchor = [](const QByteArray& link) { return Analyse(link).anchorText; };
    EXPECT_EQ(anchor("<a href='//mysite.example'><b>My</b>&nbsp;<i>site</i><script>var x;</script>"
                     "<style>p{}</style><!-- no --></a>"),
              "My\xc2\xa0site");
    EXPECT_EQ(anchor("<a href='//mysite.example'> <img src=logo.png alt=' My \n logo '> </a>"), "My logo");
    EXPECT_EQ(anchor("<a href='//mysite.example'><img src=a.png><img alt=second></a>"), "second");
    EXPECT_EQ(anchor("<a href='//mysite.example'>Text <img alt=ignored></a>"), "Text");
    EXPECT_EQ(anchor("<map><area href='//mysite.example' alt='Area  text'></map>"), "Area text");
    EXPECT_EQ(anchor("<a href='//mysite.example'></a>"), "");

    // At most 200 characters, counted as characters, never cutting one in two.
    const QByteArray word = "\xc3\xa9t\xc3\xa9 ";
    const QByteArray text = anchor("<a href='//mysite.example'>" + word.repeated(100) + "</a>");
    EXPECT_EQ(QString::fromUtf8(text).size(), 199);
    EXPECT_TRUE(text.endsWith("\xc3\xa9t\xc3\xa9"));
    EXPECT_EQ(QString::fromUtf8(anchor("<a href='//mysite.example'>" + QByteArray(500, 'x') + "</a>")).size(), 200);
}

TEST(PageAnalysis, EvidenceShowsTheLinkInItsSource)
{
    const QByteArray before = QByteArray(400, 'b');
    const QByteArray link = "<a href=\"https&#58;//mysite.example/\">My site</a>";
    const LinkAnalysis analysis = Analyse("<p>" + before + link + QByteArray(400, 'a') + "</p>");
    ASSERT_EQ(analysis.evidence.size(), 300);
    EXPECT_EQ(analysis.evidence.mid(analysis.matchStart, analysis.matchLength), link);
    EXPECT_EQ(analysis.matchStart, (300 - link.size()) / 2);

    // Near the page's start the excerpt takes more of what follows.
    const LinkAnalysis early = Analyse(link + QByteArray(1000, 'a'));
    EXPECT_EQ(early.matchStart, 0);
    EXPECT_EQ(early.evidence.size(), 300);

    // A link longer than the excerpt shows its beginning.
    const QByteArray longLink = "<a href='https://mysite.example/'>" + QByteArray(500, 'x') + "</a>";
    const LinkAnalysis cut = Analyse(longLink);
    EXPECT_EQ(cut.evidence, longLink.first(300));
    EXPECT_EQ(cut.matchLength, 300);

    // An unclosed link shows its start tag.
    const LinkAnalysis open = Analyse("<p><a href='https://mysite.example/'>site");
    EXPECT_EQ(open.evidence.mid(open.matchStart, open.matchLength), "<a href='https://mysite.example/'>");

    // Without a link, the first mention is the evidence.
    const LinkAnalysis mention =
        Analyse("<p>Our friends at WWW.MYSITE.EXAMPLE and mysite.example</p>", "www.mysite.example");
    EXPECT_EQ(mention.kind, LinkKind::Mention);
    EXPECT_EQ(mention.evidence.mid(mention.matchStart, mention.matchLength), "WWW.MYSITE.EXAMPLE");
    EXPECT_TRUE(Analyse("<p>nothing</p>").evidence.isEmpty());
}

TEST(PageAnalysis, EvidenceDoesNotCutACharacterInTwo)
{
    // Two- and three-byte characters on either side; the link's length moves the window's edges
    // across them.
    for (int extra = 0; extra < 6; ++extra) {
        const QByteArray link = "<a href='https://mysite.example/'>" + QByteArray(extra + 1, 'x') + "</a>";
        const LinkAnalysis analysis =
            Analyse(QByteArray("\xc3\xa9").repeated(200) + link + QByteArray("\xe2\x82\xac").repeated(200));
        EXPECT_EQ(QString::fromUtf8(analysis.evidence).toUtf8(), analysis.evidence) << extra;
        EXPECT_GE(analysis.evidence.size(), 296);
        EXPECT_EQ(analysis.evidence.mid(analysis.matchStart, analysis.matchLength), link);
    }
}

}  // namespace
