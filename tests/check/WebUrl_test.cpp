#include "check/WebUrl.h"

#include <gtest/gtest.h>

namespace {

const WebUrl Base = *WebUrl::parse("http://partner.test/dir/page.html?x=1#top");

// The resolved address, or "-" when there is none.
QByteArray Resolve(QByteArrayView href, const WebUrl* base = &Base)
{
    const std::optional<WebUrl> url = WebUrl::parse(href, base);
    return url ? url->toEncoded() : QByteArray("-");
}

TEST(WebUrl, RelativeReferencesResolveAsInABrowser)
{
    EXPECT_EQ(Resolve("other.html"), "http://partner.test/dir/other.html");
    EXPECT_EQ(Resolve("../up/./x"), "http://partner.test/up/x");
    EXPECT_EQ(Resolve("/root"), "http://partner.test/root");
    EXPECT_EQ(Resolve("?y=2"), "http://partner.test/dir/page.html?y=2");
    EXPECT_EQ(Resolve("#here"), "http://partner.test/dir/page.html?x=1#here");
    EXPECT_EQ(Resolve(""), "http://partner.test/dir/page.html?x=1");
    EXPECT_EQ(Resolve("//mysite.example"), "http://mysite.example/");
    EXPECT_EQ(Resolve("a/b/.."), "http://partner.test/dir/a/");
    EXPECT_EQ(Resolve("/%2e%2E/x/%2e"), "http://partner.test/x/");
    EXPECT_EQ(Resolve("x", nullptr), "-");
}

TEST(WebUrl, BlanksControlsAndBackslashesAreReadAsABrowserReadsThem)
{
    EXPECT_EQ(Resolve(" \x01\thttps://mysite.example/ \x1f"), "https://mysite.example/");
    EXPECT_EQ(Resolve("ht\ntp://my\tsite.exa\r\nmple/pa\tge"), "http://mysite.example/page");
    EXPECT_EQ(Resolve("\\\\mysite.example\\a\\b"), "http://mysite.example/a/b");
    EXPECT_EQ(Resolve("https:\\\\mysite.example"), "https://mysite.example/");
    EXPECT_EQ(Resolve("http:///mysite.example"), "http://mysite.example/");
    // A backslash ends the host, so what follows it is path, not userinfo.
    const std::optional<WebUrl> tricky = WebUrl::parse("http://evil.test\\@mysite.example/");
    ASSERT_TRUE(tricky);
    EXPECT_EQ(tricky->host, "evil.test");
    EXPECT_FALSE(tricky->hasUserinfo);
}

TEST(WebUrl, TheSchemeDecidesWhetherAReferenceIsRelative)
{
    EXPECT_EQ(Resolve("http:other.html"), "http://partner.test/dir/other.html");
    EXPECT_EQ(Resolve("http:/root"), "http://partner.test/root");
    EXPECT_EQ(Resolve("https:mysite.example"), "https://mysite.example/");
    EXPECT_EQ(Resolve("HTTPS://MySite.Example:443/A"), "https://mysite.example/A");
    EXPECT_EQ(Resolve("mailto:me@mysite.example"), "-");
    EXPECT_EQ(Resolve("javascript:go('http://mysite.example/')"), "-");
    EXPECT_EQ(Resolve("ftp://mysite.example/"), "-");
    EXPECT_EQ(Resolve("data:text/html,x"), "-");
}

TEST(WebUrl, HostsAreComparedInTheirAsciiForm)
{
    EXPECT_EQ(WebUrl::parse("http://M%C3%9CNCHEN.example/")->host, "xn--mnchen-3ya.example");
    EXPECT_EQ(WebUrl::parse("http://MÜNCHEN.example/")->host, "xn--mnchen-3ya.example");
    EXPECT_EQ(WebUrl::parse("http://mysite%2Eexample/")->host, "mysite.example");
    EXPECT_EQ(WebUrl::parse("http://mysite\xe3\x80\x82"
                            "example/")
                  ->host,
              "mysite.example");
    EXPECT_EQ(WebUrl::parse("http://my_site.example/")->host, "my_site.example");
    EXPECT_EQ(WebUrl::parse("http://[::1]:8080/")->host, "[::1]");
    EXPECT_EQ(WebUrl::parse("http://[::1]:8080/")->port, 8080);
    for (const char* bad : {"http://", "http://a b/", "http://%zz/", "http://x:99999/", "http://x:8o/", "http://user@/",
                            "http://[::1/", "http://\xff\xfe/", "http://a%00b/"})
        EXPECT_EQ(Resolve(bad), "-") << bad;
}

TEST(WebUrl, UserinfoIsKeptApartFromTheHost)
{
    const std::optional<WebUrl> url = WebUrl::parse("https://mysite.example@evil.test/");
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->hasUserinfo);
    EXPECT_EQ(url->userinfo, "mysite.example");
    EXPECT_EQ(url->host, "evil.test");
    EXPECT_EQ(WebUrl::parse("http://a@b@evil.test/")->host, "evil.test");
}

TEST(WebUrl, BytesABrowserEscapesArePercentEncoded)
{
    EXPECT_EQ(Resolve("/caf\xc3\xa9 x?q=\"a b\"'#f r"), "http://partner.test/caf%C3%A9%20x?q=%22a%20b%22%27#f%20r");
    EXPECT_EQ(Resolve("/already%20encoded"), "http://partner.test/already%20encoded");
}

TEST(WebUrl, ComparisonFormDropsTheFragmentAndTheDefaultPort)
{
    EXPECT_EQ(WebUrl::parse("HTTP://Partner.TEST:80#x")->withoutFragment(), "http://partner.test/");
    EXPECT_EQ(WebUrl::parse("https://partner.test:8443/a?b#c")->withoutFragment(), "https://partner.test:8443/a?b");
    EXPECT_EQ(WebPath("/a\\b/../c"), "/a/c");
    EXPECT_EQ(WebPath(""), "/");
}

}  // namespace
