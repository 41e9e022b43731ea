#include "model/AppError.h"
#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

const LocaleFormats UsFormats{QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")};
const LocaleFormats GermanFormats{QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss")};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(data), data.size());
}

class DataFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString appDir() const { return dir.path() + u'/'; }
    QTemporaryDir dir;
};

}  // namespace

TEST(LinkLine, NeverCheckedLinkWritesTheZeroDateAndReadsItBackAsZero)
{
    rMonitorInfo link;
    link.SiteId = 3;
    link.PageUrl = "http://partner.example/links.html";
    link.FirstName = "Ann";
    link.LastName = "Lee";
    link.Email = "ann@partner.example";
    link.Created = EncodeDateTime(QDate(2024, 3, 5), QTime(14, 5, 9));
    const QByteArray line = LinkToLine(link, UsFormats);
    EXPECT_EQ(line,
              QByteArray("3|||http://partner.example/links.html|||Ann|||Lee|||ann@partner.example|||"
                         "3/5/2024 2:05:09 PM|||12/30/1899|||"));
    const rMonitorInfo back = LineToLink(line, UsFormats);
    EXPECT_EQ(back.SiteId, 3);
    EXPECT_EQ(back.Email, link.Email);
    EXPECT_EQ(back.Created, link.Created);
    EXPECT_EQ(back.LastCheck, 0);
    EXPECT_EQ(back.Status, lsUnchecked);
}

TEST(LinkLine, MidnightIsWrittenAsADateAloneAndMillisecondsAreDropped)
{
    rMonitorInfo link;
    link.Created = EncodeDateTime(QDate(2023, 12, 31), QTime(0, 0));
    link.LastCheck = EncodeDateTime(QDate(2024, 1, 2), QTime(8, 30, 15, 789));
    const QByteArray line = LinkToLine(link, GermanFormats);
    EXPECT_EQ(line, QByteArray("0|||||||||||||||31.12.2023|||02.01.2024 08:30:15|||"));
    const rMonitorInfo back = LineToLink(line, GermanFormats);
    EXPECT_EQ(back.Created, link.Created);
    EXPECT_EQ(back.LastCheck, EncodeDateTime(QDate(2024, 1, 2), QTime(8, 30, 15)));
}

TEST(LinkLine, DamagedLinesKeepTheFieldsBeforeTheDamage)
{
    // A separator inside a contact name shifts the rest: Created meets a name and fails.
    rMonitorInfo cut = LineToLink("2|||http://p/|||Jo|||hn|||Smith|||mail@x|||1/1/2024|||1/2/2024|||", UsFormats);
    EXPECT_EQ(cut.FirstName, QByteArray("Jo"));
    EXPECT_EQ(cut.LastName, QByteArray("hn"));
    EXPECT_EQ(cut.Email, QByteArray("Smith"));
    EXPECT_EQ(cut.Created, 0);
    EXPECT_EQ(cut.LastCheck, 0);

    const rMonitorInfo seven = LineToLink("7|||", UsFormats);
    EXPECT_EQ(seven.SiteId, 7);
    EXPECT_TRUE(seven.PageUrl.isEmpty() && seven.Email.isEmpty());
    EXPECT_EQ(seven.Created, 0);

    // Without its final separator a line loses its last field.
    const rMonitorInfo unterminated = LineToLink("1|||u|||f|||l|||e|||1/1/2024|||1/2/2024", UsFormats);
    EXPECT_EQ(unterminated.Created, EncodeDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    EXPECT_EQ(unterminated.LastCheck, 0);

    // A SiteId that is no integer ends parsing at once.
    const rMonitorInfo badId = LineToLink("x1|||http://p/|||||||||||||||", UsFormats);
    EXPECT_EQ(badId.SiteId, 0);
    EXPECT_TRUE(badId.PageUrl.isEmpty());

    const rMonitorInfo empty = LineToLink("", UsFormats);
    EXPECT_EQ(empty.SiteId, 0);
    EXPECT_TRUE(empty.Attached);
}

TEST(WebsiteLine, FormatsAndParsesWithIdZeroForADamagedId)
{
    EXPECT_EQ(WebsiteToLine({"My Site", "mysite.example", -12}), QByteArray("My Site|||mysite.example|||-12|||"));
    const rMySiteInfo site = LineToWebsite("A|||a.example|||42|||trailing text");
    EXPECT_EQ(site.Name, QByteArray("A"));
    EXPECT_EQ(site.Id, 42);
    EXPECT_EQ(LineToWebsite("A|||a.example|||42").Id, 0);
    EXPECT_EQ(LineToWebsite("A|||a.example|||4x2|||").Id, 0);
    EXPECT_EQ(LineToWebsite("A|||a.example|||4x2|||").Url, QByteArray("a.example"));
}

TEST(FileInteger, AcceptsSignedDecimalWithin32BitsOnly)
{
    std::int32_t v = 0;
    EXPECT_TRUE(ParseFileInteger("-2147483648", &v));
    EXPECT_EQ(v, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(ParseFileInteger("+17", &v));
    EXPECT_EQ(v, 17);
    for (const char* bad : {"", "-", "2147483648", " 5", "5 ", "0x10", "99999999999999999999"})
        EXPECT_FALSE(ParseFileInteger(bad, &v)) << bad;
}

TEST(Lines, EveryKindOfLineBreakSplitsAndNulEndsTheText)
{
    auto texts = [](QByteArrayView text) {
        std::vector<QByteArray> out;
        for (QByteArrayView line : SplitLines(text))
            out.push_back(line.toByteArray());
        return out;
    };
    const std::vector<QByteArray> abc{"a", "b", "c"};
    EXPECT_EQ(texts("a\r\nb\r\nc\r\n"), abc);
    EXPECT_EQ(texts("a\nb\nc\n"), abc);
    EXPECT_EQ(texts("a\rb\rc\r"), abc);
    EXPECT_EQ(texts("a\rb\nc"), abc);  // mixed, last line without a break
    EXPECT_EQ(texts("a\n\r\nb"), (std::vector<QByteArray>{"a", "", "b"}));
    EXPECT_EQ(texts("a\n\rb"), (std::vector<QByteArray>{"a", "", "b"}));  // LF CR is two breaks
    EXPECT_EQ(texts(QByteArrayView("a\nb\0c\nd", 7)), (std::vector<QByteArray>{"a", "b"}));
    EXPECT_TRUE(texts("").empty());
    EXPECT_EQ(texts("\r\n"), std::vector<QByteArray>{""});
}

TEST_F(DataFilesTest, LfOnlyAndCrOnlyFilesLoadLikeCrLf)
{
    const QByteArray lines[] = {"1|||http://a/|||||||||||||||", "2|||http://b/|||||||||||||||"};
    for (const char* br : {"\r\n", "\n", "\r"}) {
        writeFile(appDir() + u"Items.txt"_s, lines[0] + br + lines[1] + br);
        LinkList list;
        LoadLinks(appDir(), list, UsFormats);
        ASSERT_EQ(list.rowCount(), 2);
        EXPECT_EQ(list.record(1).PageUrl, QByteArray("http://b/"));
    }
}

TEST_F(DataFilesTest, MissingFilesAddNothingAndEmptyListsWriteEmptyFiles)
{
    LinkList list;
    WebsiteTree sites;
    sites.AddRootWebsite();
    LoadLinks(appDir(), list, UsFormats);
    LoadWebsites(appDir(), sites);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_TRUE(sites.children().empty());

    SaveLinks(appDir(), list, UsFormats);
    SaveWebsites(appDir(), sites);  // the root is never written
    EXPECT_EQ(readFile(appDir() + u"Items.txt"_s), QByteArray(""));
    EXPECT_EQ(readFile(appDir() + u"MySites.txt"_s), QByteArray(""));
    LoadLinks(appDir(), list, UsFormats);
    EXPECT_EQ(list.rowCount(), 0);
    // Saving leaves nothing else behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(DataFilesTest, HiddenLinksAreWrittenInListOrderAndAllShowAfterLoading)
{
    WebsiteTree sites;
    sites.AddRootWebsite();
    sites.append({"One", "one.example", 1});
    sites.append({"Two", "two.example", 2});
    SaveWebsites(appDir(), sites);
    EXPECT_EQ(readFile(appDir() + u"MySites.txt"_s),
              QByteArray("One|||one.example|||1|||\r\nTwo|||two.example|||2|||\r\n"));

    LinkList list;
    for (const char* url : {"b", "c", "a"}) {
        auto link = std::make_shared<rMonitorInfo>();
        link->SiteId = url[0] == 'c' ? 2 : 1;
        link->PageUrl = url;
        list.append(link);
    }
    list.SortByColumn(ColUrl);
    list.ShowSiteItems(1, sites);
    SaveLinks(appDir(), list, UsFormats);
    EXPECT_EQ(readFile(appDir() + u"Items.txt"_s),
              QByteArray("2|||c||||||||||||12/30/1899|||12/30/1899|||\r\n"
                         "1|||b||||||||||||12/30/1899|||12/30/1899|||\r\n"
                         "1|||a||||||||||||12/30/1899|||12/30/1899|||\r\n"));

    LinkList again;
    LoadLinks(appDir(), again, UsFormats);
    EXPECT_EQ(again.visibleCount(), 3);
    EXPECT_EQ(again.record(0).PageUrl, QByteArray("c"));
    WebsiteTree sitesAgain;
    sitesAgain.AddRootWebsite();
    LoadWebsites(appDir(), sitesAgain);
    ASSERT_EQ(sitesAgain.children().size(), 2u);
    EXPECT_EQ(sitesAgain.children()[1].Url, QByteArray("two.example"));
}

TEST_F(DataFilesTest, TenThousandRandomLinksSurviveSaveAndLoad)
{
    std::mt19937 rng(12345);
    auto text = [&](int maxLength) {
        QByteArray out;
        const int n = static_cast<int>(rng() % static_cast<unsigned>(maxLength + 1));
        for (int i = 0; i < n; ++i) {
            char c;
            do
                c = static_cast<char>(1 + rng() % 255);
            while (c == '\r' || c == '\n' || c == '|');
            out.append(c);
        }
        return out;
    };
    auto moment = [&]() -> double {
        if (rng() % 5 == 0)
            return 0;
        const QDate date = QDate(1990, 1, 1).addDays(rng() % 20000);
        const QTime time = rng() % 3 == 0 ? QTime(0, 0) : QTime(rng() % 24, rng() % 60, rng() % 60);
        return EncodeDateTime(date, time);
    };
    for (const LocaleFormats& formats : {UsFormats, GermanFormats}) {
        LinkList list;
        std::vector<rMonitorInfo> expected;
        for (int i = 0; i < 10000; ++i) {
            auto link = std::make_shared<rMonitorInfo>();
            link->SiteId = static_cast<std::int32_t>(rng());
            link->PageUrl = text(80);
            link->FirstName = text(12);
            link->LastName = text(12);
            link->Email = text(30);
            link->Created = moment();
            link->LastCheck = moment();
            expected.push_back(*link);
            list.append(link);
        }
        SaveLinks(appDir(), list, formats);
        LinkList loaded;
        LoadLinks(appDir(), loaded, formats);
        ASSERT_EQ(loaded.rowCount(), 10000);
        for (int i = 0; i < 10000; ++i) {
            const rMonitorInfo& a = expected[static_cast<std::size_t>(i)];
            const rMonitorInfo& b = loaded.record(i);
            ASSERT_EQ(a.SiteId, b.SiteId) << i;
            ASSERT_EQ(a.PageUrl, b.PageUrl) << i;
            ASSERT_EQ(a.FirstName, b.FirstName) << i;
            ASSERT_EQ(a.LastName, b.LastName) << i;
            ASSERT_EQ(a.Email, b.Email) << i;
            ASSERT_EQ(a.Created, b.Created) << i;
            ASSERT_EQ(a.LastCheck, b.LastCheck) << i;
        }
    }
}

TEST_F(DataFilesTest, AFailedSaveNamesTheFullPathAndTheSystemReason)
{
    writeFile(appDir() + u"plain"_s, "not a directory");
    const QString badDir = appDir() + u"plain/"_s;
    LinkList list;
    try {
        SaveLinks(badDir, list, UsFormats);
        FAIL() << "the save should have failed";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Cannot create file \"%1Items.txt\". Not a directory").arg(badDir));
    }
    WebsiteTree sites;
    EXPECT_THROW(SaveWebsites(badDir, sites), AppError);
    EXPECT_EQ(readFile(appDir() + u"plain"_s), QByteArray("not a directory"));
}
