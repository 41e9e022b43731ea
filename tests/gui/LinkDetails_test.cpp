#include "app/DetailsPane.h"
#include "app/FramePacer.h"
#include "app/LinkListModel.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "check/CheckDispatcher.h"
#include "gui/MenuEntry.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "support/CheckFixture.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/ScriptedServer.h"
#include "support/TempAppDir.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The main window over two websites and four links whose pages the scripted server serves: a
// followed link, a nofollow one, a dead page and a page whose text holds markup and a script
// address, as a hostile partner might write it.
class LinkDetailsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write(u"MySites.txt"_s, "Mine|||www.my-site.example|||1|||\r\nOther|||other.example|||2|||\r\n");
        const std::pair<QByteArray, QByteArray> pages[] = {
            {"/followed", OkResponse("<p><a href=\"http://www.my-site.example/\">My <b>site</b></a></p>")},
            {"/nofollow", OkResponse("<a rel=\"NoFollow\" href=\"https://www.my-site.example/x\">x</a>")},
            {"/gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
            {"/hostile",
             OkResponse("<a href=\"javascript:alert(1)\">www.my-site.example</a>"
                        "<link rel=canonical href=\"http://elsewhere.example/<b>\">")},
        };
        QByteArray items;
        for (const auto& [page, response] : pages) {
            // A server a page, so that checks running side by side each get their own answer. A walk
            // over a list sorted by a column the checks change may reach a row again.
            auto server = std::make_unique<ScriptedServer>();
            for (int i = 0; i < 4; ++i)
                server->answer(response);
            items += (page == "/gone" ? "2" : "1") + QByteArray("|||") + server->url(page) +
                "|||Ann|||Lee|||a@b.example|||1/2/2024|||12/30/1899|||\r\n";
            servers.push_back(std::move(server));
        }
        dir.write(u"Items.txt"_s, items);
    }

    void start()
    {
        window = std::make_unique<TfrmMain>();
        window->show();
        // The websites pane takes its first focus from the event loop, which shows all links anew.
        QApplication::processEvents();
    }

    void checkAllAndWait()
    {
        window->StartAll();
        ASSERT_TRUE(RunUntil([this] { return window->dispatcher().RunningChecks() == 0; }));
        // The list moves the rows and shows the cells within a frame of the last verdict.
        ASSERT_TRUE(RunUntil([this] { return !pane().pacer().pending(); }));
    }

    LinksPane& pane() const { return window->linksPane(); }
    LinkListModel& model() const { return pane().model(); }

    // The visible row whose page address ends with `page`.
    int rowOf(const QString& page) const
    {
        for (int row = 0; row < model().rowCount(); ++row) {
            if (model().data(model().index(row, ColUrl)).toString().endsWith(page))
                return row;
        }
        ADD_FAILURE() << "no row " << page.toStdString();
        return 0;
    }

    QString cell(const QString& page, int column) const
    {
        return model().data(model().index(rowOf(page), column)).toString();
    }

    void focus(const QString& page) const { pane().VSTItem()->setCurrentIndex(model().index(rowOf(page), ColUrl)); }

    QString detailsText() const { return pane().details()->plainText(); }

    std::vector<std::unique_ptr<ScriptedServer>> servers;
    TempAppDir dir;
    InstalledFakePrompts prompts;
    InstalledFakeShell shell;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(LinkDetailsTest, NewColumnsShowWhatTheCheckFoundAndSortAsVerdictsArrive)
{
    start();
    QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    const QStringList titles = {u"Result"_s,   u"Url"_s,         u"First name"_s, u"Last name"_s,
                                u"E - mail"_s, u"Created"_s,     u"Last check"_s, u"Link"_s,
                                u"HTTP"_s,     u"Anchor text"_s, u"Website"_s,    u"Change"_s};
    ASSERT_EQ(model().columnCount(), titles.size());
    for (int column = 0; column < titles.size(); ++column)
        EXPECT_EQ(model().headerData(column, Qt::Horizontal).toString(), titles[column]);
    EXPECT_EQ(cell(u"/gone"_s, ColWebsite), u"Other"_s);
    EXPECT_EQ(cell(u"/followed"_s, ColLink), QString());

    // Sorted by HTTP before the checks: the rows move into place as the details arrive.
    window->VSTItemHeaderClick(ColHttp);
    window->VSTItemHeaderClick(ColHttp);
    checkAllAndWait();
    EXPECT_EQ(cell(u"/followed"_s, ColLink), u"followed"_s);
    EXPECT_FALSE(model().data(model().index(rowOf(u"/followed"_s), ColLink), Qt::DecorationRole).isNull());
    EXPECT_EQ(cell(u"/followed"_s, ColAnchorText), u"My site"_s);
    EXPECT_EQ(cell(u"/nofollow"_s, ColLink), u"nofollow"_s);
    EXPECT_EQ(cell(u"/gone"_s, ColHttp), u"404"_s);
    EXPECT_EQ(model().data(model().index(rowOf(u"/gone"_s), ColHttp), Qt::ToolTipRole).toString(),
              u"HTTP 404 Not Found"_s);
    EXPECT_EQ(cell(u"/hostile"_s, ColLink), u"mention"_s);
    EXPECT_EQ(rowOf(u"/gone"_s), model().rowCount() - 1) << "404 sorts after the 200s";
    // The verdict's column is as it always was.
    EXPECT_EQ(model().data(model().index(rowOf(u"/gone"_s), ColResult), Qt::ToolTipRole).toString(),
              u"Connection Error"_s);
    EXPECT_EQ(model().data(model().index(rowOf(u"/hostile"_s), ColResult), Qt::ToolTipRole).toString(),
              u"Inbound links found"_s);
}

TEST_F(LinkDetailsTest, HeaderMenuShowsAndHidesColumnsAndTheCloseKeepsTheChoices)
{
    start();
    QHeaderView* header = pane().VSTItem()->header();
    QMenu* menu = pane().columnsMenu();
    ASSERT_NE(menu, nullptr);
    Q_EMIT menu->aboutToShow();
    QAction* result = menu->actions().at(ColResult);
    QAction* email = menu->actions().at(ColEmail);
    EXPECT_TRUE(result->isChecked());
    EXPECT_FALSE(result->isEnabled()) << "Result and Url always show";
    EXPECT_FALSE(menu->actions().at(ColUrl)->isEnabled());

    pane().setColumnWidth(ColEmail, 123);
    email->trigger();
    EXPECT_TRUE(header->isSectionHidden(ColEmail));
    EXPECT_EQ(pane().columnWidth(ColEmail), 123) << "a hidden column keeps its width";
    pane().setColumnWidth(ColEmail, 140);
    ASSERT_TRUE(window->close());

    const SettingsFile settings(dir.file(u"config.ini"_s));
    EXPECT_EQ(settings.read(Keys::ColumnVisible(ColEmail)), 0);
    EXPECT_EQ(settings.read(Keys::ColumnWidth(ColEmail)), 140);
    EXPECT_EQ(settings.read(Keys::ColumnVisible(ColLink)), Keys::NoChoice) << "untouched columns follow their rule";

    start();
    EXPECT_TRUE(pane().VSTItem()->header()->isSectionHidden(ColEmail));
    Q_EMIT pane().columnsMenu()->aboutToShow();
    QAction* emailAgain = pane().columnsMenu()->actions().at(ColEmail);
    EXPECT_FALSE(emailAgain->isChecked());
    emailAgain->trigger();
    EXPECT_FALSE(pane().VSTItem()->header()->isSectionHidden(ColEmail));
    EXPECT_EQ(pane().VSTItem()->header()->sectionSize(ColEmail), 140);
}

TEST_F(LinkDetailsTest, WebsiteColumnShowsForAllWebsitesUnlessTheUserChose)
{
    start();
    const QHeaderView* header = pane().VSTItem()->header();
    EXPECT_FALSE(header->isSectionHidden(ColWebsite));
    window->SelectWebsiteById(1);
    EXPECT_TRUE(header->isSectionHidden(ColWebsite)) << "one website focused";
    window->SelectWebsiteById(0);
    window->websitesPane().focusRoot();
    EXPECT_FALSE(header->isSectionHidden(ColWebsite));

    // Hidden by choice, it stays hidden for all websites too; "Default Columns" brings the rule back.
    pane().setColumnChoice(ColWebsite, false);
    EXPECT_TRUE(header->isSectionHidden(ColWebsite));
    window->SelectWebsiteById(2);
    pane().setColumnChoice(ColWebsite, true);
    EXPECT_FALSE(header->isSectionHidden(ColWebsite));
    pane().columnsMenu()->findChild<QAction*>(u"DefaultColumns"_s)->trigger();
    EXPECT_TRUE(header->isSectionHidden(ColWebsite));
    EXPECT_FALSE(pane().columnChoice(ColWebsite).has_value());

    // A choice survives the restart; clearing it clears the key.
    pane().setColumnChoice(ColWebsite, true);
    ASSERT_TRUE(window->close());
    EXPECT_EQ(SettingsFile(dir.file(u"config.ini"_s)).read(Keys::ColumnVisible(ColWebsite)), 1);
    start();
    EXPECT_FALSE(pane().VSTItem()->header()->isSectionHidden(ColWebsite)) << "shown by choice with Other focused";
    pane().DefaultColumns();
    ASSERT_TRUE(window->close());
    EXPECT_EQ(SettingsFile(dir.file(u"config.ini"_s)).read(Keys::ColumnVisible(ColWebsite)), Keys::NoChoice);
}

TEST_F(LinkDetailsTest, DetailsPaneFollowsTheFocusedLinkAndItsCheck)
{
    start();
    EXPECT_FALSE(pane().detailsShown());
    QAction* toggle = MenuEntry(*window, u"&View"_s, u"&Details"_s);
    EXPECT_EQ(toggle->shortcut(), QKeySequence(Qt::Key_F11));
    toggle->trigger();
    ASSERT_TRUE(pane().detailsShown());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(pane().details()->tabText(0), u"Details"_s);
    EXPECT_EQ(pane().details()->plainText(), u"No inbound link is focused."_s);

    focus(u"/gone"_s);
    EXPECT_TRUE(detailsText().startsWith(u"Not checked since Quorvane started."_s)) << detailsText().toStdString();

    // The pane redraws when the focused link's check ends.
    checkAllAndWait();
    EXPECT_TRUE(detailsText().contains(u"Result: Connection Error\n"_s)) << detailsText().toStdString();
    EXPECT_TRUE(detailsText().contains(u"Reason: HTTP 404 Not Found\n"_s));
    EXPECT_TRUE(detailsText().contains(u"HTTP status: 404\n"_s));
    EXPECT_TRUE(detailsText().contains(u"Not analysed: no page came with a 2xx status."_s));

    focus(u"/followed"_s);
    EXPECT_TRUE(detailsText().contains(u"Link: followed"_s)) << detailsText().toStdString();
    EXPECT_TRUE(detailsText().contains(u"Anchor text: My site\n"_s));
    EXPECT_TRUE(detailsText().contains(u"Href: http://www.my-site.example/\n"_s));
    EXPECT_TRUE(detailsText().contains(u"<a href=\"http://www.my-site.example/\">"_s)) << "the evidence";

    // "Copy" takes the whole text; an address opens in the browser through the shell.
    pane().details()->copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), detailsText());
    Q_EMIT pane().details()->detailsView()->anchorClicked(QUrl(u"link:0"_s));
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_TRUE(shell.calls[0].startsWith(u"url http://127.0.0.1:"_s)) << shell.calls[0].toStdString();
    Q_EMIT pane().details()->detailsView()->anchorClicked(QUrl(u"link:99"_s));
    Q_EMIT pane().details()->detailsView()->anchorClicked(QUrl(u"javascript:alert(1)"_s));
    EXPECT_EQ(shell.calls.size(), 1);
}

TEST_F(LinkDetailsTest, HostilePageTextIsShownAsTextNeverAsMarkupOrLinks)
{
    start();
    pane().setDetailsShown(true);
    checkAllAndWait();
    focus(u"/hostile"_s);
    const QTextBrowser* view = pane().details()->detailsView();
    // Markup in the page is text on screen, and the script address is no link anywhere.
    const QString shown = view->toPlainText();
    EXPECT_TRUE(shown.contains(u"Canonical\nhttp://elsewhere.example/%3Cb%3E (another page)"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"<a href=\"javascript:alert(1)\">www.my-site.example</a><link rel=canonical "
                               "href=\"http://elsewhere.example/<b>\">"_s))
        << "the evidence, as source";
    EXPECT_FALSE(view->toHtml().contains(u"javascript"_s, Qt::CaseInsensitive) &&
                 view->toHtml().contains(u"href=\"javascript"_s, Qt::CaseInsensitive));
    EXPECT_TRUE(shown.contains(u"Link\nmention: "_s));
}

TEST_F(LinkDetailsTest, PaneStateIsRememberedAcrossStarts)
{
    dir.write(u"config.ini"_s,
              "[Common]\r\nWindowWidth=900\r\nWindowHeight=700\r\nShowDetails=1\r\nDetailsHeight=150\r\n");
    start();
    ASSERT_TRUE(pane().detailsShown());
    ASSERT_TRUE(RunUntil([this] { return pane().details()->height() == 150; })) << pane().details()->height();
    const QList<int> sizes = pane().detailsSplitter()->sizes();
    pane().detailsSplitter()->setSizes({sizes[0] + sizes[1] - 200, 200});
    Q_EMIT pane().detailsSplitter()->splitterMoved(sizes[0] + sizes[1] - 200, 1);
    window->linksPane().setDetailsShown(false);
    EXPECT_EQ(pane().detailsHeight(), 200) << "a hidden pane keeps its height";
    ASSERT_TRUE(window->close());
    const SettingsFile settings(dir.file(u"config.ini"_s));
    EXPECT_FALSE(settings.read(Keys::ShowDetails));
    EXPECT_EQ(settings.read(Keys::DetailsHeight), 200);
}

}  // namespace
