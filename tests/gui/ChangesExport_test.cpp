#include "app/CsvExport.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/UnitMain.h"
#include "gui/MenuEntry.h"
#include "model/Csv.h"
#include "model/DataFiles.h"
#include "model/HistoryStore.h"
#include "model/LinkColumns.h"
#include "model/LinkList.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/HistorySamples.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QHeaderView>
#include <QLabel>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Four links of two websites whose latest recorded checks changed something or not.
class ChangesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write(u"MySites.txt"_s, "Mine|||mysite.example|||1|||\r\nOther|||other.example|||2|||\r\n");
        LinkList list;
        {
            LinkList::Update update(list);
            for (int link = 0; link < 4; ++link) {
                auto record = std::make_shared<rMonitorInfo>();
                record->SiteId = link < 3 ? 1 : 2;
                record->PageUrl = page(link);
                record->FirstName = link == 0 ? "=HYPERLINK(\"x\")" : "Ann, \"the\" second";
                record->Created = MinuteAfterStart(0);
                list.append(record);
            }
        }
        dir.write(u"Items.txt"_s, LinksFileText(list, LocaleFormats::system()));
        HistoryStore other(dir.file(u"History.db"_s), {}, TestHistoryOptions());
        CheckFacts nofollow = FollowedFacts();
        nofollow.analysis.kind = LinkKind::Nofollow;
        other.record(key(0), Check(MinuteAfterStart(1), lsFound, FollowedFacts()));
        other.record(key(0), Check(MinuteAfterStart(2), lsNotFound, FailedFacts("http-status", u"HTTP 404"_s)));
        other.record(key(1), Check(MinuteAfterStart(1), lsFound, FollowedFacts()));
        other.record(key(1), Check(MinuteAfterStart(2), lsFound, FollowedFacts()));
        other.record(key(2), Check(MinuteAfterStart(1), lsFound, FollowedFacts()));
        other.record(key(2), Check(MinuteAfterStart(2), lsFound, nofollow));
        other.record(key(3), Check(MinuteAfterStart(1), lsConnectionError, FailedFacts()));
        other.record(key(3), Check(MinuteAfterStart(2), lsFound, FollowedFacts()));
        ASSERT_TRUE(other.flush());
    }
    static QByteArray page(int link) { return "http://partner.test/page" + QByteArray::number(link); }
    static LinkKey key(int link) { return LinkKey{link < 3 ? 1 : 2, page(link)}; }

    void open()
    {
        window = std::make_unique<TfrmMain>();
        window->show();
    }
    QStringList shownPages() const
    {
        QStringList pages;
        for (int row = 0; row < window->links().visibleCount(); ++row)
            pages << QString::fromUtf8(window->links().visibleRecord(row).PageUrl);
        pages.sort();
        return pages;
    }
    QString panel(int index) const { return window->statusPanel(index)->text(); }

    TempAppDir dir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(ChangesTest, WhatChangedShowsTheChangedLinksBesideTheWebsiteFilterAndNamesTheChange)
{
    open();
    QAction* action = MenuEntry(*window, u"&View"_s, u"What &Changed"_s);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F9));
    QHeaderView* header = window->linksPane().VSTItem()->header();
    EXPECT_TRUE(header->isSectionHidden(ColChange));

    action->trigger();
    EXPECT_TRUE(action->isChecked());
    EXPECT_EQ(
        shownPages(),
        (QStringList{u"http://partner.test/page0"_s, u"http://partner.test/page2"_s, u"http://partner.test/page3"_s}));
    EXPECT_FALSE(header->isSectionHidden(ColChange));
    EXPECT_EQ(panel(0), u" 3 inbound link(s)"_s);
    EXPECT_EQ(panel(1), u" 2 found"_s);
    EXPECT_EQ(panel(2), u" 1 not found"_s);
    const QAbstractItemModel& model = *window->linksPane().VSTItem()->model();
    QStringList changes;
    for (int row = 0; row < model.rowCount(); ++row)
        changes << model.index(row, ColChange).data().toString();
    changes.sort();
    EXPECT_EQ(changes, (QStringList{u"back"_s, u"lost"_s, u"now nofollow"_s}));

    // Both criteria hold: the changed links of one website.
    window->SelectWebsiteById(2);
    EXPECT_EQ(shownPages(), QStringList{u"http://partner.test/page3"_s});
    EXPECT_EQ(panel(0), u" 1 inbound link(s)"_s);
    window->SelectWebsiteById(1);
    EXPECT_EQ(shownPages().size(), 2);

    action->trigger();
    EXPECT_FALSE(action->isChecked());
    EXPECT_EQ(shownPages().size(), 3);
    EXPECT_EQ(panel(0), u" 3 inbound link(s)"_s);
    EXPECT_TRUE(header->isSectionHidden(ColChange));
}

TEST_F(ChangesTest, ExportWritesTheShownRowsWithEveryColumnAndReadsBack)
{
    open();
    MenuEntry(*window, u"&View"_s, u"What &Changed"_s)->trigger();
    window->SelectWebsiteById(1);
    const QString path = dir.file(u"out"_s);
    dialogs.queueFileName(path);
    MenuEntry(*window, u"&File"_s, u"Export to &CSV..."_s)->trigger();
    EXPECT_TRUE(prompts.shown.isEmpty());

    const QByteArray bytes = dir.read(u"out.csv"_s);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const CsvTable table = ReadCsv(bytes);
    ASSERT_TRUE(table.error.isEmpty()) << table.error.toStdString();
    ASSERT_EQ(table.rows.size(), 3u);
    const QList<QByteArray> header = CsvExportHeader();
    ASSERT_EQ(table.rows[0], std::vector<QByteArray>(header.begin(), header.end()));
    const auto column = [&](const char* title) { return std::size_t(header.indexOf(title)); };
    std::map<QByteArray, std::vector<QByteArray>> byPage;
    for (std::size_t row = 1; row < table.rows.size(); ++row) {
        ASSERT_EQ(table.rows[row].size(), header.size());
        byPage[table.rows[row][column("Url")]] = table.rows[row];
    }
    const std::vector<QByteArray>& lost = byPage.at(page(0));
    EXPECT_EQ(lost[column("Result")], "not found");
    EXPECT_EQ(lost[column("Change")], "lost");
    EXPECT_EQ(lost[column("HTTP")], "http-status");
    EXPECT_EQ(lost[column("Website")], "Mine");
    // A formula from a hand-edited file stays text.
    EXPECT_EQ(lost[column("First name")], "'=HYPERLINK(\"x\")");
    const std::vector<QByteArray>& nofollow = byPage.at(page(2));
    EXPECT_EQ(nofollow[column("Change")], "now nofollow");
    EXPECT_EQ(nofollow[column("Link")], "nofollow");
    EXPECT_EQ(nofollow[column("Anchor text")], "My garden site");
    EXPECT_EQ(nofollow[column("Redirects")], "http://partner.test/links 301");
    EXPECT_EQ(nofollow[column("First name")], "Ann, \"the\" second");
    EXPECT_EQ(nofollow[column("Evidence")], CheckDetails(FollowedFacts()).evidence().toByteArray());
}

TEST_F(ChangesTest, AnExportThatCannotBeWrittenSaysSoAndACancelWritesNothing)
{
    open();
    MenuEntry(*window, u"&File"_s, u"Export to &CSV..."_s)->trigger();
    EXPECT_TRUE(prompts.shown.isEmpty());
    dialogs.queueFileName(dir.file(u"missing/folder/out.csv"_s));
    MenuEntry(*window, u"&File"_s, u"Export to &CSV..."_s)->trigger();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.contains(u"out.csv"_s)) << prompts.shown[0].text.toStdString();
}

}  // namespace
