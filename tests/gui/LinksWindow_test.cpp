#include "app/FramePacer.h"
#include "app/LinkListModel.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"
#include "support/CheckFixture.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

LinkRecord Link(std::int32_t site, const char* page, const char* email, const char* lastName)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = site;
    link->PageUrl = page;
    link->Email = email;
    link->LastName = lastName;
    link->Created = 46000.5;
    return link;
}

class LinksWindowTest : public ::testing::Test {
protected:
    // Two websites; three links of the first, two of the second, one of a website that is gone.
    void writeFiles()
    {
        WebsiteTree websites;
        websites.append({"Alpha", "alpha.example", 1});
        websites.append({"Beta", "beta.example", 2});
        SaveWebsites(appDir.path(), websites);
        LinkList links;
        links.appendMany({Link(1, "http://p1.example/", "a1@x.example", "Ames"),
                          Link(2, "http://q1.example/", "b1@x.example", "Brown"),
                          Link(1, "http://p2.example/", "a2@x.example", "Avery"),
                          Link(9, "http://orphan.example/", "o@x.example", "Orr"),
                          Link(2, "http://q2.example/", "b2@x.example", "Baker"),
                          Link(1, "http://p3.example/", "a3@x.example", "Allen")});
        SaveLinks(appDir.path(), links, LocaleFormats::system());
    }

    std::unique_ptr<TfrmMain> start()
    {
        auto window = std::make_unique<TfrmMain>();
        window->show();
        return window;
    }

    static QStringList shownPages(const TfrmMain& window)
    {
        QStringList pages;
        const LinkListModel& model = window.linksPane().model();
        for (int row = 0; row < model.rowCount(); ++row)
            pages << model.data(model.index(row, 1)).toString();
        return pages;
    }

    static QStringList statusTexts(const TfrmMain& window)
    {
        QStringList texts;
        for (int panel = 0; panel < TfrmMain::StatusPanelCount; ++panel)
            texts << window.statusPanel(panel)->text();
        return texts;
    }

    // Selects a shown row as a click (or a Ctrl click) would.
    static void click(TfrmMain& window, int shownRow, bool ctrl = false)
    {
        LinksView* view = window.linksPane().VSTItem();
        const QModelIndex index = view->model()->index(shownRow, 1);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier,
                          view->visualRect(index).center());
    }

    static void clickHeader(TfrmMain& window, int column)
    {
        QHeaderView* header = window.linksPane().VSTItem()->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2));
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeShell shell;
};

TEST_F(LinksWindowTest, FirstStartCountsNothingAndCloseWritesAnEmptyLinksFile)
{
    auto window = start();
    EXPECT_EQ(
        statusTexts(*window),
        (QStringList{QStringLiteral(" 0 inbound link(s)"), QStringLiteral(" 0 found"), QStringLiteral(" 0 not found"),
                     QStringLiteral(" 0 connection error"), QString(), QString()}));
    const std::vector<int> widths = {100, 100, 100, 140, 120, 50};
    for (int panel = 0; panel < TfrmMain::StatusPanelCount; ++panel)
        EXPECT_GE(window->statusPanel(panel)->width(), widths[static_cast<std::size_t>(panel)]);
    EXPECT_EQ(window->linksPane().model().rowCount(), 0);
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(QFile::exists(appDir.file(QStringLiteral("Items.txt"))));
    EXPECT_EQ(appDir.read(QStringLiteral("Items.txt")), QByteArray());
}

TEST_F(LinksWindowTest, StartLoadsBothFilesAndCloseWritesTheLinksUnchanged)
{
    writeFiles();
    const QByteArray before = appDir.read(QStringLiteral("Items.txt"));
    auto window = start();
    EXPECT_EQ(window->websites().children().size(), 2u);
    EXPECT_EQ(shownPages(*window).size(), 6);
    EXPECT_EQ(statusTexts(*window).constFirst(), QStringLiteral(" 6 inbound link(s)"));
    ASSERT_EQ(window->commands().PMNewByMy()->actions().size(), 2);
    ASSERT_TRUE(window->close());
    EXPECT_EQ(appDir.read(QStringLiteral("Items.txt")), before);
}

TEST_F(LinksWindowTest, CurrentSiteFiltersTheListAtStartAndFocusShowsEachWebsitesLinks)
{
    writeFiles();
    SettingsFile(appDir.file(QStringLiteral("config.ini"))).write(Keys::CurrentSite, 2);
    auto window = start();
    EXPECT_EQ(window->websitesPane().focusedId(), 2);
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for Beta"));
    EXPECT_EQ(shownPages(*window),
              (QStringList{QStringLiteral("http://q1.example/"), QStringLiteral("http://q2.example/")}));
    EXPECT_EQ(statusTexts(*window).constFirst(), QStringLiteral(" 2 inbound link(s)"));

    // The root shows every link, also one whose website is gone.
    window->websitesPane().focusRoot();
    EXPECT_EQ(shownPages(*window).size(), 6);
    EXPECT_TRUE(shownPages(*window).contains(QStringLiteral("http://orphan.example/")));
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for all my websites"));
}

TEST_F(LinksWindowTest, HiddenSelectedLinksStaySelectedAndMailAndBrowserReachThemInListOrder)
{
    writeFiles();
    auto window = start();
    window->SelectWebsiteById(2);
    click(*window, 1);  // q2
    window->SelectWebsiteById(1);
    EXPECT_EQ(window->links().selectedCount(), 1);
    click(*window, 0, true);  // p1, added with Ctrl
    EXPECT_EQ(window->links().selectedCount(), 2);
    EXPECT_EQ(window->linksPane().VSTItem()->selectionModel()->selectedRows().size(), 1);

    window->SendEmail();
    window->OpenUrlWithIE();
    EXPECT_EQ(shell.calls,
              (QStringList{QStringLiteral("mail mailto:a1@x.example?body=Dear Mr.Ames"),
                           QStringLiteral("mail mailto:b2@x.example?body=Dear Mr.Baker"),
                           QStringLiteral("url http://p1.example/"), QStringLiteral("url http://q2.example/")}));

    // A plain click starts a new selection, hidden rows included.
    click(*window, 2);
    EXPECT_EQ(window->links().selectedCount(), 1);
}

TEST_F(LinksWindowTest, SelectAllAddsTheShownLinksOnly)
{
    writeFiles();
    auto window = start();
    window->SelectWebsiteById(1);
    click(*window, 0);
    window->SelectWebsiteById(2);
    window->SelectAll();
    EXPECT_EQ(window->links().selectedCount(), 3);
    EXPECT_EQ(window->linksPane().VSTItem()->selectionModel()->selectedRows().size(), 2);
}

TEST_F(LinksWindowTest, HeaderClicksFlipTheSortAndTheGlyphFollowsTheList)
{
    auto empty = start();
    clickHeader(*empty, 1);
    EXPECT_EQ(empty->links().sortColumn(), -1);
    EXPECT_EQ(empty->linksPane().VSTItem()->header()->sortIndicatorSection(), -1);
    empty.reset();

    writeFiles();
    auto window = start();
    QHeaderView* header = window->linksPane().VSTItem()->header();
    clickHeader(*window, 1);
    EXPECT_EQ(window->links().sortColumn(), 1);
    EXPECT_EQ(window->links().sortDirection(), LinkList::Direction::Descending);
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shownPages(*window).constFirst(), QStringLiteral("http://q2.example/"));
    clickHeader(*window, 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shownPages(*window).constFirst(), QStringLiteral("http://orphan.example/"));
}

TEST_F(LinksWindowTest, DoubleClickOnAColumnDividerFitsTheColumnToItsText)
{
    writeFiles();
    auto window = start();
    QHeaderView* header = window->linksPane().VSTItem()->header();
    ASSERT_EQ(header->sectionSize(4), 50);
    Q_EMIT header->sectionHandleDoubleClicked(4);
    EXPECT_GT(header->sectionSize(4), 80);
}

TEST_F(LinksWindowTest, ArrangeByNameSortsByUrlAndTheSelectionFollowsItsRows)
{
    writeFiles();
    auto window = start();
    click(*window, 0);  // p1
    QMenu* arrange = window->commands().PMIL()->actions().constFirst()->menu();
    arrange->actions()[1]->trigger();  // "Name"
    EXPECT_EQ(window->links().sortColumn(), 1);
    EXPECT_EQ(shownPages(*window).constFirst(), QStringLiteral("http://q2.example/"));
    const QModelIndexList selected = window->linksPane().VSTItem()->selectionModel()->selectedRows(1);
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].data().toString(), QStringLiteral("http://p1.example/"));
}

TEST_F(LinksWindowTest, DeleteSelectedAsksAndRemovesOnlyTheShownSelectedLinks)
{
    writeFiles();
    auto window = start();
    window->DeleteSelected();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0],
              (FakePrompts::Shown{Prompts::Kind::Information, QStringLiteral("Please Select a inbound link")}));

    window->SelectWebsiteById(1);
    click(*window, 0);
    window->SelectWebsiteById(2);
    click(*window, 0, true);
    prompts.queueAnswer(true);
    window->DeleteSelected();
    EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Delete 1 selected inbound link(s)?")});
    EXPECT_EQ(shownPages(*window), QStringList{QStringLiteral("http://q2.example/")});
    EXPECT_EQ(statusTexts(*window).constFirst(), QStringLiteral(" 1 inbound link(s)"));
    EXPECT_EQ(window->links().rowCount(), 5);
    EXPECT_EQ(window->links().selectedCount(), 1);  // p1, hidden, stays
}

TEST_F(LinksWindowTest, DeletingAWebsiteNamesItsLinkCountAndRemovesThem)
{
    writeFiles();
    auto window = start();
    window->SelectWebsiteById(1);
    prompts.queueAnswer(false);
    window->DeleteOwnSelected();
    EXPECT_EQ(prompts.questions.constLast(), QStringLiteral("Delete the website \"Alpha\" and its 3 inbound link(s)?"));
    EXPECT_EQ(window->links().rowCount(), 6);

    prompts.queueAnswer(true);
    window->DeleteOwnSelected();
    EXPECT_EQ(window->links().rowCount(), 3);
    EXPECT_EQ(shownPages(*window).size(), 3);
    EXPECT_EQ(statusTexts(*window).constFirst(), QStringLiteral(" 3 inbound link(s)"));
    // The websites file is written at once.
    EXPECT_FALSE(appDir.read(QStringLiteral("MySites.txt")).contains("Alpha"));
}

TEST_F(LinksWindowTest, StatusShowsItsIconAndTipAndTheModelStaysConsistentThroughChanges)
{
    writeFiles();
    auto window = start();
    LinkListModel& model = window->linksPane().model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    LinkList& links = window->links();
    window->ArrangeItem(0);  // by Result, descending
    click(*window, 3);
    const LinkRecord chosen = model.recordAt(3);

    int n = 0;
    for (const LinkRecord& link : links.records()) {
        LinkList::Update update(links);
        links.setStatus(*link, static_cast<LinkStatus>(1 + n++ % 4));
    }
    window->SelectWebsiteById(2);
    window->websitesPane().focusRoot();
    EXPECT_TRUE(links.isSelected(*chosen));
    const QModelIndexList selected = window->linksPane().VSTItem()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model.recordAt(selected[0].row()), chosen);

    for (int row = 0; row < model.rowCount(); ++row) {
        const rMonitorInfo& link = *model.recordAt(row);
        const QModelIndex result = model.index(row, 0);
        EXPECT_FALSE(model.data(result, Qt::DecorationRole).value<QIcon>().isNull());
        if (link.Status == lsFound) {
            EXPECT_EQ(model.data(result, Qt::ToolTipRole).toString(), QStringLiteral("Inbound links found"));
        }
        EXPECT_FALSE(model.data(model.index(row, 1), Qt::ToolTipRole).isValid());
    }
}

TEST_F(LinksWindowTest, ChecksReportingMoveTheRowsOnceAFrameAndTheSelectionFollowsItsRow)
{
    writeFiles();
    auto window = start();
    LinkListModel& model = window->linksPane().model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    LinkList& links = window->links();
    window->ArrangeItem(0);  // by Result, descending
    click(*window, 3);
    const LinkRecord chosen = model.recordAt(3);
    const QStringList before = shownPages(*window);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);

    // As the checks' call-overs do: each change in a bracket of its own, many between two frames.
    int n = 0;
    for (const LinkRecord& link : links.records()) {
        LinkList::Update update(links, LinkList::Sorting::Paced);
        links.setStatus(*link, static_cast<LinkStatus>(1 + n++ % 4));
    }
    EXPECT_EQ(links.CountVisibleWithStatus(lsChecking), 2);
    EXPECT_EQ(shownPages(*window), before);
    EXPECT_EQ(changed.size() + moved.size() + layouts.size(), 0);

    ASSERT_TRUE(RunUntil([&] { return !window->linksPane().pacer().pending(); }));
    EXPECT_EQ(moved.size() + layouts.size(), 1);
    for (int row = 1; row < model.rowCount(); ++row)
        EXPECT_GE(model.recordAt(row - 1)->Status, model.recordAt(row)->Status);
    const QModelIndexList selected = window->linksPane().VSTItem()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model.recordAt(selected[0].row()), chosen);
}

// Records the region of each repaint of a widget.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

TEST(LinksView, AChangeRepaintsTheChangedRowsOnScreenAndNothingForRowsOffIt)
{
    QStandardItemModel model(2000, 3);
    for (int row = 0; row < model.rowCount(); ++row)
        model.setItem(row, 0, new QStandardItem(QString::number(row)));
    LinksView view;
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.scrollTo(model.index(1000, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    PaintRecorder recorder(view.viewport());
    const auto repainted = [&](auto change) {
        recorder.painted = QRegion();
        change();
        QCoreApplication::processEvents();
        return recorder.painted;
    };

    EXPECT_TRUE(repainted([&] { Q_EMIT model.dataChanged(model.index(0, 0), model.index(900, 2)); }).isEmpty());
    EXPECT_TRUE(repainted([&] { Q_EMIT model.dataChanged(model.index(1500, 0), model.index(1999, 2)); }).isEmpty());
    const QRect shownRow = view.visualRect(model.index(1002, 0));
    EXPECT_TRUE(repainted([&] { model.item(1002, 0)->setText(QStringLiteral("changed")); }).contains(shownRow));
    // One range over the whole list, as a frame of a walk names it: the rows on screen repaint.
    EXPECT_TRUE(
        repainted([&] { Q_EMIT model.dataChanged(model.index(0, 0), model.index(1999, 2)); }).contains(shownRow));
}

}  // namespace
