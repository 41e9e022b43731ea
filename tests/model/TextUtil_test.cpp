#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <gtest/gtest.h>

TEST(TextUtil, UpperCasingFoldsOnlyAsciiLetters)
{
    EXPECT_EQ(UpperAscii(QByteArrayView("abc-xyz 09 {}")), QByteArray("ABC-XYZ 09 {}"));
    const QByteArray accented("\xc3\xa9t\xc3\xa9");  // bytes above 127 stay as they are
    EXPECT_EQ(UpperAscii(accented), QByteArray("\xc3\xa9T\xc3\xa9"));
}

TEST(TextUtil, TrimRemovesControlBytesAndBlanksAtBothEndsOnly)
{
    EXPECT_EQ(TrimControl(QByteArrayView("\t\r\n My Site \x01\x1f ")), QByteArray("My Site"));
    EXPECT_EQ(TrimControl(QByteArrayView("   ")), QByteArray());
    EXPECT_EQ(TrimControl(QByteArrayView("a \x7f")), QByteArray("a \x7f"));
}

TEST(TextUtil, FoldedComparisonGivesDifferenceOfDecidingCodesOrLengths)
{
    EXPECT_EQ(CompareFolded("abc", "ABC"), 0);
    EXPECT_EQ(CompareFolded("abd", "ABC"), 1);
    EXPECT_EQ(CompareFolded("ab", "abcd"), -2);
    // '_' (95) sits between the upper- and lower-case letters: folding decides the order.
    EXPECT_LT(CompareFolded("a", "_"), 0);
    EXPECT_GT(CompareFolded("\xe9", "z"), 0);  // bytes compare unsigned
}

class WebsiteTreeTest : public ::testing::Test {
protected:
    void SetUp() override { tree.AddRootWebsite(); }
    WebsiteTree tree;
};

TEST_F(WebsiteTreeTest, NextIdIsLargestPlusOne)
{
    EXPECT_EQ(tree.NextWebsiteId(), 1);
    tree.append({"a", "a.example", 1});
    tree.append({"b", "b.example", 5});
    tree.append({"c", "c.example", 2});
    EXPECT_EQ(tree.NextWebsiteId(), 6);
}

TEST_F(WebsiteTreeTest, LookupsTakeTheLastMatchAndTreatTheRootAsEachSays)
{
    tree.append({"My Site", "first.example", 3});
    tree.append({"Other", "second.example", 3});
    EXPECT_EQ(tree.SiteUrlOf(3), QByteArray("second.example"));
    EXPECT_EQ(tree.SiteUrlOf(0), QByteArray());
    EXPECT_EQ(tree.SiteUrlOf(42), QByteArray());
    EXPECT_EQ(tree.WebsiteNameById(3), QByteArray("Other"));
    EXPECT_EQ(tree.WebsiteNameById(0), QByteArray());  // the root is not a website
    EXPECT_EQ(tree.WebsiteIdByName("  my site \t"), 3);
    EXPECT_EQ(tree.WebsiteIdByName("All my websites"), 0);
}

TEST_F(WebsiteTreeTest, DamagedFileWithIdZeroSiteOverridesRootUrl)
{
    tree.append({"Broken", "broken.example", 0});
    EXPECT_EQ(tree.SiteUrlOf(0), QByteArray("broken.example"));
    EXPECT_EQ(tree.WebsiteNameById(0), QByteArray("Broken"));
}

TEST(TextUtil, PageAddressGetsHttpUnlessEitherSchemeIsNamedAnywhere)
{
    EXPECT_EQ(CompletePageUrl("www.partner.example/links"), "http://www.partner.example/links");
    EXPECT_EQ(CompletePageUrl("HtTp://partner.example"), "HtTp://partner.example");
    EXPECT_EQ(CompletePageUrl("https://partner.example/"), "https://partner.example/");
    EXPECT_EQ(CompletePageUrl("HttpS://partner.example/p"), "HttpS://partner.example/p");
    // Anywhere counts, also inside the query of another address.
    EXPECT_EQ(CompletePageUrl("partner.example/go?to=http://x.example"), "partner.example/go?to=http://x.example");
    EXPECT_EQ(CompletePageUrl("ftp://partner.example"), "http://ftp://partner.example");
    EXPECT_EQ(CompletePageUrl("https:/partner.example"), "http://https:/partner.example");
    EXPECT_EQ(CompletePageUrl("httpx.example"), "http://httpx.example");
    EXPECT_EQ(CompletePageUrl(""), "http://");
    EXPECT_EQ(CompletePageUrl(" a b "), "http:// a b ");
    // Only a to z fold: a dotless i does not make "HTTP".
    EXPECT_EQ(CompletePageUrl("ht\xfdp://a.example"), "http://ht\xfdp://a.example");
}
