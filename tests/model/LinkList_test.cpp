#include "model/DateTime.h"
#include "model/DateTimeCodec.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include "support/SampleData.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(LinkListRows, SelectAllAddsVisibleRowsOnlyAndFilteringKeepsSelection)
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"One", "one.example", 1});
    sites.append({"Two", "two.example", 2});
    LinkList list;
    auto a = SampleLink(1, "a"), b = SampleLink(2, "b"), c = SampleLink(2, "c");
    list.appendMany({a, b, c});
    list.setSelected(list.rowOf(*b), true);

    EXPECT_EQ(list.ShowSiteItems(1, sites), QByteArray("  Inbound Links for One"));
    EXPECT_TRUE(list.isSelected(*b));  // hidden, still selected
    list.SelectAll();
    EXPECT_TRUE(list.isSelected(*a));
    EXPECT_FALSE(list.isSelected(*c));
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_EQ(list.selectedRecords(true), std::vector<LinkRecord>{a});

    EXPECT_EQ(list.ShowSiteItems(7, sites), std::nullopt);  // no such website: the caption stays
    EXPECT_EQ(list.visibleCount(), 0);
    EXPECT_EQ(list.ShowAllItems(), QByteArray("  Inbound Links for all my websites"));
    EXPECT_EQ(list.visibleCount(), 3);
}

TEST(LinkListRows, CaptionNamesTheLastWebsiteWithThatIdAndLinksOfBothShow)
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"Early", "e.example", 4});
    sites.append({"Late", "l.example", 4});
    LinkList list;
    list.appendMany({SampleLink(4, "x"), SampleLink(0, "orphan"), SampleLink(4, "y")});
    EXPECT_EQ(list.ShowSiteItems(4, sites), QByteArray("  Inbound Links for Late"));
    EXPECT_EQ(list.visibleCount(), 2);
}

TEST(LinkListRows, StatusBarCountsFollowStatusFilterAndDeletion)
{
    LinkList list;
    auto a = SampleLink(1, "a", lsFound), b = SampleLink(1, "b", lsNotFound), c = SampleLink(2, "c", lsFound);
    auto d = SampleLink(2, "d", lsChecking);
    list.appendMany({a, b, c, d});
    EXPECT_EQ(
        list.StatusBarTexts(),
        (std::array<QString, 4>{u" 4 inbound link(s)"_s, u" 2 found"_s, u" 1 not found"_s, u" 0 connection error"_s}));
    list.setStatus(*b, lsConnectionError);
    list.ShowSiteItems(2, WebsiteTree());
    EXPECT_EQ(
        list.StatusBarTexts(),
        (std::array<QString, 4>{u" 2 inbound link(s)"_s, u" 1 found"_s, u" 0 not found"_s, u" 0 connection error"_s}));
    list.setStatus(*a, lsNotFound);  // hidden rows do not count
    EXPECT_EQ(list.CountVisibleWithStatus(lsNotFound), 0);
    list.ShowAllItems();
    EXPECT_EQ(list.CountVisibleWithStatus(lsNotFound), 1);
    EXPECT_EQ(list.CountVisibleWithStatus(lsConnectionError), 1);
    list.setSelected(list.rowOf(*c), true);
    list.DeleteSelected(true);
    EXPECT_EQ(list.StatusBarTexts()[1], u" 0 found"_s);
    list.clear();
    EXPECT_EQ(list.StatusBarTexts()[0], u" 0 inbound link(s)"_s);
}

TEST(LinkListRows, RemovedRecordsAreDetachedAndLateChangesDoNothing)
{
    LinkList list;
    auto kept = SampleLink(1, "kept"), hidden = SampleLink(2, "hidden"), gone = SampleLink(1, "gone");
    list.appendMany({kept, hidden, gone});
    list.setSelected(list.rowOf(*hidden), true);
    list.setSelected(list.rowOf(*gone), true);
    list.ShowSiteItems(1, WebsiteTree());

    EXPECT_EQ(list.DeleteSelected(true), 1);  // the hidden selected row stays
    EXPECT_FALSE(gone->Attached);
    EXPECT_TRUE(hidden->Attached);
    EXPECT_FALSE(list.contains(*gone));
    EXPECT_FALSE(list.setStatus(*gone, lsFound));
    EXPECT_EQ(gone->Status, lsUnchecked);
    EXPECT_EQ(list.nextVisibleAfter(*gone), nullptr);  // a walk must notice its row is gone

    EXPECT_EQ(list.DeleteSelected(false), 1);
    EXPECT_FALSE(hidden->Attached);
    list.clear();
    EXPECT_FALSE(kept->Attached);
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(LinkListRows, WalksFollowTheDisplayOrderOfTheMoment)
{
    LinkList list;
    auto a = SampleLink(1, "a"), b = SampleLink(2, "b"), c = SampleLink(1, "c"), d = SampleLink(1, "d");
    list.appendMany({a, b, c, d});
    list.ShowSiteItems(1, WebsiteTree());
    EXPECT_EQ(list.firstVisible(), a);
    EXPECT_EQ(list.nextVisibleAfter(*a), c);
    EXPECT_EQ(list.nextVisibleAfter(*b), c);  // from a row that is hidden now
    EXPECT_EQ(list.nextVisibleAfter(*d), nullptr);

    list.setSelected(list.rowOf(*b), true);
    list.setSelected(list.rowOf(*d), true);
    EXPECT_EQ(list.firstSelected(), b);  // hidden rows count for the selection walk
    EXPECT_EQ(list.nextSelectedAfter(*b), d);

    list.SortByColumn(ColUrl);  // descending: d c b a
    EXPECT_EQ(list.firstVisible(), d);
    EXPECT_EQ(list.nextVisibleAfter(*c), a);
    EXPECT_EQ(list.visibleIndexOf(*a), 2);
    EXPECT_EQ(list.visibleIndexOf(*b), -1);
    EXPECT_EQ(list.rowOf(*b), 2);
}

TEST(LinkListCells, TextsIconsAndHintsFollowTheColumnAndStatus)
{
    const DateTimeCodec dates(LocaleFormats{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")});
    rMonitorInfo link;
    link.PageUrl = "http://p.example/";
    link.Email = "x@y";
    EXPECT_EQ(VSTItemGetText(link, ColResult, dates), QByteArray());
    EXPECT_EQ(VSTItemGetText(link, ColEmail, dates), QByteArray("x@y"));
    EXPECT_EQ(VSTItemGetText(link, ColCreated, dates), QByteArray("12/30/1899"));  // shown even when 0
    EXPECT_EQ(VSTItemGetText(link, ColLastCheck, dates), QByteArray());            // empty when never
    EXPECT_EQ(VSTItemGetImageIndex(link, ColResult), -1);
    EXPECT_EQ(VSTItemGetHint(link, ColResult), QString());

    const std::pair<LinkStatus, std::pair<int, const char*>> table[] = {
        {lsChecking, {0, "Checking..."}},
        {lsFound, {2, "Inbound links found"}},
        {lsNotFound, {3, "Inbound links not Found"}},
        {lsConnectionError, {1, "Connection Error"}},
        {static_cast<LinkStatus>(9), {-1, ""}},
    };
    for (const auto& [status, expected] : table) {
        link.Status = status;
        EXPECT_EQ(VSTItemGetImageIndex(link, ColResult), expected.first);
        EXPECT_EQ(VSTItemGetHint(link, ColResult), QString::fromLatin1(expected.second));
        EXPECT_EQ(VSTItemGetImageIndex(link, ColUrl), -1);
        EXPECT_EQ(VSTItemGetHint(link, ColUrl), QString());
    }
}

TEST(LinkListCells, DetailsColumnsShowTheLatestCheckAndWebsiteItsName)
{
    const DateTimeCodec dates(LocaleFormats{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")});
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"My <site>", "my.test", 3});
    LinkList list;
    const LinkRecord link = SampleLink(3, "http://p.test/");
    list.append(link);
    for (const int column : {ColLink, ColHttp, ColAnchorText})
        EXPECT_EQ(VSTItemGetText(*link, column, dates), QByteArray()) << "never checked: " << column;
    EXPECT_EQ(VSTItemGetText(*link, ColWebsite, dates, &sites), QByteArray("My <site>"));
    EXPECT_EQ(VSTItemGetText(*link, ColWebsite, dates), QByteArray());

    list.setVerdict(*link, lsFound, 45000, SampleDetails(200, "", LinkKind::Nofollow, "Caf\xc3\xa9"));
    EXPECT_EQ(VSTItemGetText(*link, ColLink, dates), QByteArray("nofollow"));
    EXPECT_EQ(VSTItemGetText(*link, ColHttp, dates), QByteArray("200"));
    EXPECT_EQ(VSTItemGetText(*link, ColAnchorText, dates), QByteArray("Caf\xc3\xa9"));
    // An error status shows as the status; any other failure by its kind, even after a status.
    list.setVerdict(*link, lsConnectionError, 45000, SampleDetails(404, "http-status"));
    EXPECT_EQ(VSTItemGetText(*link, ColHttp, dates), QByteArray("404"));
    EXPECT_EQ(VSTItemGetText(*link, ColLink, dates), QByteArray());
    list.setVerdict(*link, lsConnectionError, 45000, SampleDetails(200, "read-timeout"));
    EXPECT_EQ(VSTItemGetText(*link, ColHttp, dates), QByteArray("read-timeout"));
    // The seven columns and the verdict's cells do not look at the details.
    EXPECT_EQ(VSTItemGetHint(*link, ColResult), QStringLiteral("Connection Error"));
    list.setDetails(*link, CheckDetails());
    EXPECT_TRUE(link->Details.get().isNull());
    EXPECT_EQ(link->Status, lsConnectionError);
}
