#include "model/LinkList.h"
#include "model/LinkSearch.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include "support/RowMirror.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace {

LinkRecord makeLink(std::int32_t siteId, QByteArray url, QByteArray first = {}, QByteArray last = {},
                    QByteArray email = {}, LinkStatus status = lsUnchecked)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = std::move(url);
    link->FirstName = std::move(first);
    link->LastName = std::move(last);
    link->Email = std::move(email);
    link->Status = status;
    return link;
}

WebsiteTree Sites()
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"Caf\xc3\xa9 Blog", "cafe.example", 1});
    sites.append({"Second Blog", "second.example", 2});
    sites.append({"Old name", "old.example", 3});
    sites.append({"Garden", "garden.example", 3});  // the later one names Id 3
    return sites;
}

bool Matches(const char* typed, const LinkRecord& link, const WebsiteTree& sites = Sites())
{
    return LinkSearch(typed, sites).matches(*link);
}

}  // namespace

TEST(LinkSearchMatching, EveryWordMustOccurInAFieldOrTheWebsiteName)
{
    const auto link = makeLink(2, "http://Partner.example/links", "Sara", "Miller", "sm@mail.example");
    for (const char* typed :
         {"sara", "SARA miller", "partner.EXAMPLE/LI", "second", "miller BLOG", "sm@", "  sara  ", "", " \t "})
        EXPECT_TRUE(Matches(typed, link)) << typed;
    for (const char* typed : {"sara jones", "caf", "sara-miller", "http://partner.example/links/", "2"})
        EXPECT_FALSE(Matches(typed, link)) << typed;

    // Two websites with one Id: the later one's name counts, as in every other look-up by Id.
    const auto garden = makeLink(3, "http://x.example/");
    EXPECT_TRUE(Matches("garden", garden));
    EXPECT_FALSE(Matches("old", garden));
    // A website that is gone, or the root, gives no name.
    EXPECT_FALSE(Matches("blog", makeLink(9, "http://x.example/")));
    EXPECT_FALSE(Matches("all", makeLink(0, "http://x.example/")));
}

TEST(LinkSearchMatching, OtherLettersFoldWhenTheWordHoldsThemAndStoredBytesAreNeverTrusted)
{
    const auto link = makeLink(1, "http://m\xc3\xbcller.example/", "Zo\xc3\xab", "M\xc3\x9cLLER");
    EXPECT_TRUE(Matches("m\xc3\xbcller", link));                             // müller finds MÜLLER
    EXPECT_TRUE(Matches("ZO\xc3\x8b", link));                                // ZOË finds Zoë
    EXPECT_TRUE(Matches("CAF\xc3\x89", link));                               // CAFÉ finds the website "Café Blog"
    EXPECT_TRUE(Matches("\xe2\x84\xaa", makeLink(2, "http://k.example/")));  // the Kelvin sign folds to k
    EXPECT_FALSE(Matches("mueller", link));

    // Bytes that are not UTF-8 (a file written in another code page) are compared as they are.
    const auto legacy = makeLink(2, "http://x.example/", "Caf\xe9", "\xff\xfe\xc3");
    EXPECT_TRUE(Matches("caf", legacy));
    EXPECT_FALSE(Matches("caf\xc3\xa9", legacy));
    EXPECT_FALSE(Matches("\xc3\xbf", legacy));
}

// The scan looks at eight bytes at once; every length, offset and near miss must give what a plain
// scan of one byte after the other gives.
TEST(LinkSearchMatching, FoldedScanAgreesWithAPlainOne)
{
    auto plain = [](QByteArrayView text, QByteArrayView upper) {
        for (qsizetype at = 0; at + upper.size() <= text.size(); ++at) {
            qsizetype i = 0;
            while (i < upper.size() && UpperAscii(text[at + i]) == upper[i])
                ++i;
            if (i == upper.size())
                return true;
        }
        return false;
    };
    std::mt19937 random(3);
    const char alphabet[] = {'a', 'A', 'b', 'B', '@', '`', '[', '{', 'a' - 1, '\x01', '\x00', '\x81', '\xc1', '\xe1'};
    auto text = [&](int most) {
        QByteArray out;
        for (int n = static_cast<int>(random() % static_cast<unsigned>(most + 1)); n > 0; --n)
            out += alphabet[random() % sizeof alphabet];
        return out;
    };
    for (int i = 0; i < 20000; ++i) {
        const QByteArray hay = text(40);
        QByteArray word = UpperAscii(text(4));
        if (i % 3 == 0 && hay.size() > 2) {  // a word that is there, often across an eight-byte boundary
            const qsizetype at = static_cast<qsizetype>(random() % static_cast<unsigned>(hay.size() - 1));
            word = UpperAscii(hay.mid(at, 1 + static_cast<qsizetype>(random() % 9)));
        }
        ASSERT_EQ(ContainsFolded(hay, word), plain(hay, word))
            << hay.toHex().toStdString() << " / " << word.toHex().toStdString();
    }
}

TEST(LinkSearchMatching, ANarrowerSearchNeverMatchesALinkTheWiderOneMisses)
{
    // The list tests only one side of the rows when one search lies within another; a wrong answer
    // here leaves rows shown that do not match, or hidden that do.
    EXPECT_TRUE(LinkSearch("mil", Sites()).within(LinkSearch("mi", Sites())));
    EXPECT_TRUE(LinkSearch("sara m", Sites()).within(LinkSearch("sara", Sites())));
    EXPECT_TRUE(LinkSearch("sara", Sites()).within(LinkSearch("", Sites())));
    EXPECT_FALSE(LinkSearch("mi", Sites()).within(LinkSearch("mil", Sites())));
    WebsiteTree renamed = Sites();
    renamed.replace(1, {"Miles", "second.example", 2});
    EXPECT_FALSE(LinkSearch("mil", renamed).within(LinkSearch("mi", Sites())));  // more websites match now

    std::mt19937 random(7);
    const std::vector<QByteArray> pieces = {"a", "A", "b", "ab", "\xc3\xbc", "\xc3\x9c", " ", "K", "\xe2\x84\xaa", "o"};
    auto text = [&](int most) {
        QByteArray out;
        for (int n = static_cast<int>(random() % static_cast<unsigned>(most)); n > 0; --n)
            out += pieces[random() % pieces.size()];
        return out;
    };
    std::vector<WebsiteTree> trees(2);
    for (WebsiteTree& tree : trees) {
        tree.AddRootWebsite();
        for (std::int32_t id = 1; id <= 3; ++id)
            tree.append({text(4), "x", id});
    }
    std::vector<LinkRecord> links;
    for (int i = 0; i < 200; ++i)
        links.push_back(makeLink(static_cast<std::int32_t>(random() % 4), text(6), text(3), text(3), text(3)));
    std::vector<LinkSearch> searches;
    for (int i = 0; i < 120; ++i)
        searches.emplace_back(text(5), trees[random() % 2]);
    int pairs = 0;
    for (const LinkSearch& narrow : searches) {
        for (const LinkSearch& wide : searches) {
            if (!narrow.within(wide))
                continue;
            ++pairs;
            for (const LinkRecord& link : links) {
                ASSERT_TRUE(!narrow.matches(*link) || wide.matches(*link))
                    << narrow.text().toStdString() << " / " << wide.text().toStdString();
            }
        }
    }
    EXPECT_GT(pairs, 500);
}

// Whatever the order of searches, filters and changes, the rows shown are exactly those that a
// search made from scratch shows among those the website filter lets through, and the counts and
// a view's mirror follow.
TEST(LinkListSearch, RowsShownAlwaysEqualAFreshTestCombinedWithTheWebsiteFilter)
{
    const WebsiteTree sites = Sites();
    std::mt19937 random(11);
    const std::vector<QByteArray> words = {"sa", "ra", "mil", "ler", "blog", "garden", "exa", "\xc3\xbc", "@", " "};
    auto pick = [&](const std::vector<QByteArray>& from) { return from[random() % from.size()]; };
    auto newLink = [&] {
        return makeLink(static_cast<std::int32_t>(random() % 5), "http://" + pick(words) + pick(words) + ".example/",
                        pick(words), pick(words), pick(words), static_cast<LinkStatus>(random() % 5));
    };

    LinkList list;
    RowMirror mirror(list);
    std::vector<LinkRecord> rows;
    std::map<const rMonitorInfo*, bool> inSite;  // what the website filter decided for each row
    for (int i = 0; i < 300; ++i)
        rows.push_back(newLink());
    list.appendMany(rows);
    for (const LinkRecord& r : rows)
        inSite[r.get()] = true;
    list.SortByColumn(ColLastName);

    QByteArray typed;
    for (int step = 0; step < 400; ++step) {
        switch (random() % 8) {
        case 0:
        case 1: typed += pick(words); break;
        case 2: typed.chop(static_cast<qsizetype>(1 + random() % 3)); break;
        case 3: typed = pick(words); break;
        case 4: {
            const std::int32_t id = static_cast<std::int32_t>(random() % 4);
            if (id == 0)
                list.ShowAllItems();
            else
                list.ShowSiteItems(id, sites);
            for (const LinkRecord& r : rows)
                inSite[r.get()] = id == 0 || r->SiteId == id;
            break;
        }
        case 5: {
            const LinkRecord added = newLink();
            list.append(added);
            rows.push_back(added);
            inSite[added.get()] = true;
            break;
        }
        case 6: {
            const LinkRecord& r = rows[random() % rows.size()];
            list.updateFields(*r, *newLink());
            break;
        }
        default: {
            const std::size_t k = random() % rows.size();
            list.remove({rows[k]});
            inSite.erase(rows[k].get());
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(k));
            break;
        }
        }
        list.setSearch(typed, sites);

        const LinkSearch fresh(typed, sites);
        std::array<int, 5> counts{};
        int shown = 0;
        for (const LinkRecord& r : rows) {
            const bool expected = inSite[r.get()] && fresh.matches(*r);
            ASSERT_EQ(list.isVisible(*r), expected) << "step " << step << " typed '" << typed.toStdString() << "'";
            if (expected) {
                ++shown;
                ++counts[r->Status];
            }
        }
        ASSERT_EQ(list.visibleCount(), shown);
        for (int status = 0; status < 5; ++status)
            ASSERT_EQ(list.CountVisibleWithStatus(static_cast<LinkStatus>(status)), counts[status]);
        mirror.expectConsistent();
    }
}

TEST(LinkListSearch, AKeystrokeIsOneResetAtMostAndNoneWhenNothingComesOrGoes)
{
    const WebsiteTree sites = Sites();
    LinkList list;
    std::vector<LinkRecord> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back(makeLink(1 + i % 2, "http://p" + QByteArray::number(i) + ".example/", "Sara", "Miller"));
    list.appendMany(rows);
    RowMirror mirror(list);

    list.setSearch("p1", sites);  // p1, p10 to p19: 11 rows
    EXPECT_EQ(list.visibleCount(), 11);
    EXPECT_EQ(mirror.resets, 1);
    list.setSearch("p1 ", sites);      // the same words
    list.setSearch("p1 sara", sites);  // narrower, and every shown row matches it
    list.setSearch("p1 sara ", sites);
    EXPECT_EQ(mirror.resets, 1);
    list.ShowSiteItems(2, sites);
    const int before = mirror.resets;
    list.setSearch("p1 sara second", sites);  // hides only rows of website 1, which are out of sight
    EXPECT_EQ(mirror.resets, before);
    EXPECT_EQ(list.visibleCount(), 6);
    list.setSearch("", sites);
    EXPECT_EQ(list.visibleCount(), 50);
    EXPECT_EQ(mirror.single, 0);
    mirror.expectConsistent();
}

TEST(LinkListSearch, AddedAndEditedRowsAreTestedAndHiddenSelectedRowsStaySelected)
{
    const WebsiteTree sites = Sites();
    LinkList list;
    auto sara = makeLink(1, "http://a.example/", "Sara", "", "", lsFound);
    auto tom = makeLink(1, "http://b.example/", "Tom", "", "", lsNotFound);
    list.appendMany({sara, tom});
    list.setSelected(*tom, true);
    RowMirror mirror(list);

    list.setSearch("sara", sites);
    EXPECT_EQ(
        list.StatusBarTexts(),
        (std::array<QString, 4>{u" 1 inbound link(s)"_s, u" 1 found"_s, u" 0 not found"_s, u" 0 connection error"_s}));
    EXPECT_TRUE(list.isSelected(*tom));       // hidden, still selected
    EXPECT_EQ(list.DeleteSelected(true), 0);  // only what the user sees goes
    list.SelectAll();
    EXPECT_EQ(list.selectedCount(), 2);

    // New rows follow the search; an edit tests its row again.
    auto saraToo = makeLink(2, "http://c.example/", "Sarah");
    auto other = makeLink(2, "http://d.example/", "Ann");
    list.append(saraToo);
    list.append(other);
    EXPECT_TRUE(list.isVisible(*saraToo));
    EXPECT_FALSE(list.isVisible(*other));
    rMonitorInfo edited = *sara;
    edited.FirstName = "Sam";
    list.updateFields(*sara, edited);
    EXPECT_FALSE(list.isVisible(*sara));
    edited = *tom;
    edited.LastName = "Sarantis";
    list.updateFields(*tom, edited);
    EXPECT_TRUE(list.isVisible(*tom));
    EXPECT_EQ(list.CountVisibleWithStatus(lsNotFound), 1);
    EXPECT_EQ(list.CountVisibleWithStatus(lsFound), 0);
    mirror.expectConsistent();
    EXPECT_EQ(mirror.resets, 1);  // the search itself; each row after it was announced alone

    // The website filter still decides for the rows it leaves out.
    list.ShowSiteItems(2, sites);
    edited = *tom;
    edited.Email = "sara@x.example";
    list.updateFields(*tom, edited);
    EXPECT_FALSE(list.isVisible(*tom));
    list.setSearch("", sites);
    EXPECT_EQ(VisibleOrder(list).size(), 2u);
    mirror.expectConsistent();
}
