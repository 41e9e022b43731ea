#include "model/DateTime.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include "support/RowMirror.h"
#include "support/SampleData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

std::vector<const rMonitorInfo*> pointers(const std::vector<LinkRecord>& records)
{
    std::vector<const rMonitorInfo*> out;
    for (const LinkRecord& r : records)
        out.push_back(r.get());
    return out;
}

std::vector<QByteArray> urls(const LinkList& list)
{
    std::vector<QByteArray> out;
    for (const LinkRecord& r : list.records())
        out.push_back(r->PageUrl);
    return out;
}

}  // namespace

// The list moves only the rows that changed; the result must be exactly what a full stable sort of
// the previous order gives, in both directions, for every column, across long random sequences.
TEST(LinkListSorting, KeepingSortedMatchesFullStableSortOfPreviousOrder)
{
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* texts[] = {"a", "A", "b", "ab", "_", "B", "", "ba"};
    const char* failures[] = {"", "", "connect", "http-status", "read-timeout", "Connect"};
    auto randomDetails = [&] {
        if (pick(4) == 0)
            return CheckDetails();
        CheckFacts facts;
        facts.httpStatus = pick(3) == 0 ? 0 : 200 + 100 * pick(4);
        facts.failure = failures[pick(6)];
        facts.analysis.kind = static_cast<LinkKind>(pick(5));
        facts.analysis.anchorText = texts[pick(8)];
        return CheckDetails(facts);
    };
    for (int round = 0; round < 36; ++round) {
        // Two Names that fold alike, and Id 0, which names no website.
        WebsiteTree sites;
        sites.AddRootWebsite();
        sites.append({"beta", "b.test", 1});
        sites.append({"Beta", "B.test", 2});
        LinkList list;
        RowMirror view(list);
        list.setWebsites(&sites);
        std::vector<LinkRecord> reference;
        auto randomLink = [&] {
            auto link = SampleLink(pick(3), texts[pick(8)], static_cast<LinkStatus>(pick(5)), 45000 + pick(4));
            link->FirstName = texts[pick(8)];
            link->LastCheck = pick(3) == 0 ? 0 : 45000 + pick(3) + pick(2) / 86'400'000.0 * 0.4;
            link->Details.set(randomDetails());
            return link;
        };
        for (int i = 0; i < 200; ++i) {
            reference.push_back(randomLink());
            list.append(reference.back());
        }
        // Every column once in the first rounds, then at random.
        const int column = round <= LinkColumnCount ? round - 1 : pick(LinkColumnCount + 1) - 1;
        list.SortByColumn(column);
        if (pick(2))
            list.SortByColumn(column);
        const bool descending = list.sortDirection() == LinkList::Direction::Descending;
        auto less = [&](const LinkRecord& a, const LinkRecord& b) {
            const int c = VSTItemCompareNodes(*a, *b, column, &sites);
            return descending ? c > 0 : c < 0;
        };
        std::stable_sort(reference.begin(), reference.end(), less);
        ASSERT_EQ(pointers(list.records()), pointers(reference)) << "column " << column;

        for (int step = 0; step < 150; ++step) {
            {
                LinkList::Update bracket(list);
                const int changes = pick(4) == 0 ? 1 + pick(20) : 1;
                for (int c = 0; c < changes; ++c) {
                    const LinkRecord target =
                        reference[static_cast<std::size_t>(pick(static_cast<int>(reference.size())))];
                    switch (pick(9)) {
                    case 0:
                        reference.push_back(randomLink());
                        list.append(reference.back());
                        break;
                    case 1:
                        if (reference.size() > 20) {
                            list.remove({target});
                            reference.erase(std::find(reference.begin(), reference.end(), target));
                        }
                        break;
                    case 2: list.updateFields(*target, *randomLink()); break;
                    case 3:
                        list.setVerdict(*target, static_cast<LinkStatus>(pick(5)), 45000 + pick(3), randomDetails());
                        break;
                    case 4: list.ShowSiteItems(pick(3), WebsiteTree()); break;
                    case 5: list.setDetails(*target, randomDetails()); break;
                    case 6:
                        if (pick(8) == 0) {
                            const std::size_t site = static_cast<std::size_t>(pick(2));
                            rMySiteInfo renamed = sites.children()[site];
                            renamed.Name = texts[pick(8)];
                            sites.replace(site, renamed);
                            list.websitesChanged();
                        }
                        break;
                    default: list.setStatus(*target, static_cast<LinkStatus>(pick(5))); break;
                    }
                }
            }
            // The reference took the same changes in place; a closed bracket equals one stable sort.
            std::stable_sort(reference.begin(), reference.end(), less);
            ASSERT_EQ(pointers(list.records()), pointers(reference)) << "column " << column << " round " << round;
        }
        view.expectConsistent();
        if (column != NoColumn) {
            EXPECT_GT(view.moves + view.layouts, 0);
        }
        list.setWebsites(nullptr);
    }
}

// Same comparison, but checked after every single bracket, so a wrong move cannot be hidden by a
// later full sort.
TEST(LinkListSorting, EveryClosedBracketLeavesTheStableSortOfTheOrderBefore)
{
    std::mt19937 rng(7);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    LinkList list;
    RowMirror view(list);
    for (int i = 0; i < 300; ++i)
        list.append(SampleLink(1, pick(2) ? "x" : "y", static_cast<LinkStatus>(pick(5))));
    list.SortByColumn(ColResult);  // descending
    for (int step = 0; step < 2000; ++step) {
        std::vector<LinkRecord> expected = list.records();
        {
            LinkList::Update bracket(list);
            const int changes = pick(3) == 0 ? 2 + pick(5) : 1;
            for (int c = 0; c < changes; ++c)
                list.setStatus(*expected[static_cast<std::size_t>(pick(300))], static_cast<LinkStatus>(pick(5)));
        }
        std::stable_sort(expected.begin(), expected.end(), [](const LinkRecord& a, const LinkRecord& b) {
            return VSTItemCompareNodes(*a, *b, ColResult) > 0;
        });
        ASSERT_EQ(pointers(list.records()), pointers(expected)) << "step " << step;
    }
    EXPECT_GT(view.moves, 100);
}

TEST(LinkListSorting, HeaderClickFlipsDirectionEveryTimeAndDoesNothingOnAnEmptyList)
{
    LinkList list;
    list.VSTItemHeaderClick(ColUrl);
    EXPECT_EQ(list.sortColumn(), NoColumn);
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Ascending);

    list.append(SampleLink(1, "b"));
    list.append(SampleLink(1, "a"));
    list.append(SampleLink(1, "c"));
    list.VSTItemHeaderClick(ColUrl);  // the first click after start sorts descending
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Descending);
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"c", "b", "a"}));
    list.VSTItemHeaderClick(ColUrl);
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"a", "b", "c"}));
    list.VSTItemHeaderClick(ColResult);  // moving to another column flips too
    EXPECT_EQ(list.sortColumn(), ColResult);
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Descending);

    // A list whose rows are all hidden still has rows, so it still sorts.
    list.ShowSiteItems(99, WebsiteTree());
    list.VSTItemHeaderClick(ColUrl);
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Ascending);
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"a", "b", "c"}));
}

TEST(LinkListSorting, ArrangeByNameAndUrlBothSortTheUrlColumn)
{
    LinkList list;
    list.ArrangeItem(1);  // no rows: nothing changes
    EXPECT_EQ(list.sortColumn(), NoColumn);
    list.append(SampleLink(1, "b"));
    list.append(SampleLink(1, "a"));
    list.ArrangeItem(1);
    EXPECT_EQ(list.sortColumn(), ColUrl);
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Descending);
    list.ArrangeItem(2);
    EXPECT_EQ(list.sortColumn(), ColUrl);
    EXPECT_EQ(list.sortDirection(), LinkList::Direction::Ascending);
    EXPECT_EQ(ArrangeEntryColumn(7), ColLastCheck);
    EXPECT_STREQ(ArrangeEntryTitle(7), "Last monitor");
}

TEST(LinkListSorting, EqualKeysKeepTheirOrderInBothDirections)
{
    LinkList list;
    const double t = EncodeDateTime(QDate(2024, 5, 1), QTime(10, 0, 0, 250));
    const double sameMillisecond = t + 0.0004 / 86'400'000.0;
    list.append(SampleLink(1, "http://Site.example/", lsUnchecked, t));
    list.append(SampleLink(1, "http://site.example/", lsUnchecked, sameMillisecond));
    list.append(SampleLink(1, "http://SITE.example/", lsUnchecked, t + 1.0 / 86400));
    list.SortByColumn(ColUrl);
    EXPECT_EQ(urls(list),
              (std::vector<QByteArray>{"http://Site.example/", "http://site.example/", "http://SITE.example/"}));
    list.SortByColumn(ColCreated);  // ascending
    EXPECT_EQ(list.record(0).PageUrl, QByteArray("http://Site.example/"));
    EXPECT_EQ(list.record(1).PageUrl, QByteArray("http://site.example/"));
    list.SortByColumn(ColCreated);  // descending: the later one first, the equal pair in its order
    EXPECT_EQ(urls(list),
              (std::vector<QByteArray>{"http://SITE.example/", "http://Site.example/", "http://site.example/"}));
    // Only a to z fold: '_' lies between the upper- and the lower-case letters.
    EXPECT_LT(VSTItemCompareNodes(*SampleLink(0, "a"), *SampleLink(0, "_"), ColUrl), 0);
    // Columns outside 0 to 6 compare everything equal.
    EXPECT_EQ(VSTItemCompareNodes(*SampleLink(0, "a"), *SampleLink(0, "b"), NoColumn), 0);
}

TEST(LinkListSorting, NeverCheckedSortsFirstByLastCheckAndRowsFollowStatusChanges)
{
    LinkList list;
    auto checked = SampleLink(1, "checked");
    checked->LastCheck = 45000.5;
    auto never = SampleLink(1, "never");
    list.append(checked);
    list.append(never);
    list.SortByColumn(ColLastCheck);
    list.SortByColumn(ColLastCheck);  // ascending
    EXPECT_EQ(list.record(0).PageUrl, QByteArray("never"));

    list.SortByColumn(ColResult);
    list.SortByColumn(ColResult);  // ascending
    list.setStatus(*never, lsConnectionError);
    EXPECT_EQ(list.rowOf(*never), 1);
    list.setVerdict(*checked, lsConnectionError, 45001);
    EXPECT_EQ(list.rowOf(*checked), 0);  // equal keys now: it stood first, so it stays first
}

// What a running check changes is in the records and the counts at once; with a sort pacer the rows
// move only when the list is settled, all at once, and the stable order is the one the changes one
// by one would have given.
TEST(LinkListSorting, PacedChangesCountAtOnceAndMoveTheRowsWhenSettled)
{
    LinkList list;
    std::vector<LinkRecord> links;
    for (const char* url : {"a", "b", "c", "d", "e", "f"}) {
        links.push_back(SampleLink(1, url));
        list.append(links.back());
    }
    list.SortByColumn(ColResult);
    list.SortByColumn(ColResult);  // ascending
    RowMirror view(list);
    int requests = 0;
    list.setSortPacer([&] { ++requests; });
    const std::vector<std::pair<int, LinkStatus>> changes = {{0, lsFound}, {3, lsChecking}, {1, lsNotFound}};
    for (const auto& [i, status] : changes) {
        LinkList::Update update(list, LinkList::Sorting::Paced);
        list.setStatus(*links[static_cast<std::size_t>(i)], status);
    }
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(list.sortOwed());
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(list.CountVisibleWithStatus(lsFound), 1);
    EXPECT_EQ(list.CountVisibleWithStatus(lsNotFound), 1);
    {
        // Nothing moves inside a bracket: its close does the sorting.
        LinkList::Update update(list, LinkList::Sorting::Paced);
        list.settle();
        EXPECT_EQ(urls(list), (std::vector<QByteArray>{"a", "b", "c", "d", "e", "f"}));
    }
    list.settle();
    EXPECT_FALSE(list.sortOwed());
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"c", "e", "f", "d", "a", "b"}));
    EXPECT_EQ(view.layouts + view.moves, 1);

    // Any other change sorts what is owed with it.
    {
        LinkList::Update update(list, LinkList::Sorting::Paced);
        list.setStatus(*links[2], lsConnectionError);
    }
    list.updateFields(*links[4], *links[4]);
    EXPECT_FALSE(list.sortOwed());
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"e", "f", "d", "a", "b", "c"}));

    // Without a pacer a paced bracket sorts at once, as every other does.
    list.setSortPacer(nullptr);
    {
        LinkList::Update update(list, LinkList::Sorting::Paced);
        list.setStatus(*links[5], lsFound);
    }
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"e", "d", "f", "a", "b", "c"}));
}

// A full sort compares packed leading bytes after the prefix all texts share; texts with long shared
// prefixes, zero bytes, bytes above 127 and every length around the packed width must still come
// out in the order of the plain comparison.
TEST(LinkListSorting, FullSortOfTextsMatchesThePlainComparison)
{
    std::mt19937 rng(11);
    const char alphabet[] = {'a', 'A', 'z', 'Z', '_', '\0', '\x7f', '\x80', '\xff', 'm', 'M'};
    for (int round = 0; round < 20; ++round) {
        LinkList list;
        std::vector<LinkRecord> reference;
        const QByteArray prefix = round % 2 ? QByteArray("http://WWW.") : QByteArray();
        for (int i = 0; i < 500; ++i) {
            QByteArray url = prefix;
            if (i % 7 == 0)
                url = url.toLower();  // the shared prefix differs only by case
            const int length = static_cast<int>(rng() % 24);
            for (int k = 0; k < length; ++k)
                url.append(alphabet[rng() % sizeof alphabet]);
            reference.push_back(SampleLink(1, ""));
            reference.back()->PageUrl = url;
            reference.back()->Email = url;
        }
        list.appendMany(reference);
        const int column = round % 4 < 2 ? ColUrl : ColEmail;
        list.SortByColumn(column);
        if (round % 3 == 0)
            list.SortByColumn(column);
        const bool descending = list.sortDirection() == LinkList::Direction::Descending;
        std::stable_sort(reference.begin(), reference.end(), [&](const LinkRecord& a, const LinkRecord& b) {
            const int c = VSTItemCompareNodes(*a, *b, column);
            return descending ? c > 0 : c < 0;
        });
        ASSERT_EQ(pointers(list.records()), pointers(reference)) << "round " << round;
    }
}

TEST(LinkListSorting, DetailsColumnsSortEmptyFirstThenByTheirMeaning)
{
    LinkList list;
    const std::vector<std::pair<const char*, CheckDetails>> rows = {
        {"resolve", SampleDetails(0, "resolve")},
        {"404", SampleDetails(404, "http-status")},
        {"unchecked", CheckDetails()},
        {"999", SampleDetails(999, "http-status", LinkKind::Unknown)},
        {"200 none", SampleDetails(200, "", LinkKind::None, "b")},
        {"connect", SampleDetails(0, "connect")},
        {"200 followed", SampleDetails(200, "", LinkKind::Followed, "A")},
        {"30 mention", SampleDetails(30, "", LinkKind::Mention, "a")},
    };
    for (const auto& [name, details] : rows) {
        list.append(SampleLink(1, name));
        list.setDetails(*list.records().back(), details);
    }
    list.SortByColumn(ColHttp);
    list.SortByColumn(ColHttp);  // ascending
    EXPECT_EQ(urls(list),
              (std::vector<QByteArray>{"unchecked", "30 mention", "200 none", "200 followed", "404", "999", "connect",
                                       "resolve"}));
    list.SortByColumn(ColLink);  // descending
    EXPECT_EQ(urls(list).front(), QByteArray("200 none"));
    list.SortByColumn(ColLink);
    // Rows without a link kind keep the order the HTTP sort gave them.
    EXPECT_EQ(urls(list),
              (std::vector<QByteArray>{"unchecked", "404", "999", "connect", "resolve", "200 followed", "30 mention",
                                       "200 none"}));
    list.SortByColumn(ColAnchorText);
    list.SortByColumn(ColAnchorText);
    // Equal folded texts keep the order they had.
    const std::vector<QByteArray> byAnchor = urls(list);
    EXPECT_EQ(std::vector<QByteArray>(byAnchor.end() - 3, byAnchor.end()),
              (std::vector<QByteArray>{"200 followed", "30 mention", "200 none"}));
}

TEST(LinkListSorting, WebsiteSortsByNameAndFollowsARename)
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"Zeta", "z.test", 1});
    sites.append({"alpha", "a.test", 2});
    LinkList list;
    list.setWebsites(&sites);
    list.append(SampleLink(1, "z1"));
    list.append(SampleLink(2, "a1"));
    list.append(SampleLink(7, "gone"));
    list.append(SampleLink(1, "z2"));
    list.SortByColumn(ColWebsite);
    list.SortByColumn(ColWebsite);
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"gone", "a1", "z1", "z2"}));

    sites.replace(1, {"Zulu", "a.test", 2});
    list.websitesChanged();
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"gone", "z1", "z2", "a1"}));
    // A link moved to another website takes its place at once, before the rows that stood after it.
    rMonitorInfo moved = *list.records().front();
    moved.SiteId = 2;
    list.updateFields(*list.records().front(), moved);
    EXPECT_EQ(urls(list), (std::vector<QByteArray>{"z1", "z2", "gone", "a1"}));
    list.setWebsites(nullptr);
}
