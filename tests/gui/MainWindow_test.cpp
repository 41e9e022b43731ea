#include "app/LinksPane.h"
#include "app/SideSplitter.h"
#include "app/UnitMain.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "gui/MenuEntry.h"
#include "model/DataFiles.h"
#include "model/LinkColumns.h"
#include "model/SettingsFile.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"
#include "support/TempInstall.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitterHandle>
#include <QTreeView>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> start() { return std::make_unique<TfrmMain>(); }

    static void addWebsites(TfrmMain& window, std::initializer_list<rMySiteInfo> sites)
    {
        for (const rMySiteInfo& site : sites)
            window.websitesPane().model().appendWebsite(site);
        window.RefreshNewByMy();
    }

    static QAction* menuEntry(TfrmMain& window, const QString& menu, const QString& entry)
    {
        return MenuEntry(window, menu, entry);
    }

    std::vector<int> columnWidths(const TfrmMain& window) const
    {
        std::vector<int> widths;
        for (int column = 0; column < LinkColumnCount; ++column)
            widths.push_back(window.linksPane().columnWidth(column));
        return widths;
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
};

TEST_F(MainWindowTest, FirstStartWithoutAnyFileUsesTheDefaults)
{
    auto window = start();
    window->show();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvane"));
    EXPECT_EQ(window->size(), QSize(799, 535));
    EXPECT_FALSE(window->isMaximized());
    // The seven first columns 50 pixels, the later ones wide enough for their usual content.
    EXPECT_EQ(columnWidths(*window), (std::vector<int>{50, 50, 50, 50, 50, 50, 50, 90, 70, 160, 120, 120}));
    const WebsiteTreeModel& tree = window->websitesPane().model();
    ASSERT_EQ(tree.rowCount(), 1);
    EXPECT_EQ(tree.data(tree.rootIndex()).toString(), QStringLiteral("All my websites"));
    EXPECT_EQ(tree.rowCount(tree.rootIndex()), 0);
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for all my websites"));
    EXPECT_EQ(window->appDir(), appDir.path());
    EXPECT_TRUE(prompts.shown.isEmpty());
    // Start-up reads; the settings file appears only with the first write.
    EXPECT_FALSE(QFile::exists(appDir.file(QStringLiteral("config.ini"))));

    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window->frameGeometry().center().y() - screen.center().y()), 1);
}

TEST_F(MainWindowTest, CloseWritesTheWindowStateKeys)
{
    auto window = start();
    window->show();
    window->resize(700, 500);
    window->linksPane().setColumnWidth(1, 140);
    window->linksPane().setColumnWidth(6, 77);
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(window->stopRequested());

    const SettingsFile settings(appDir.file(QStringLiteral("config.ini")));
    EXPECT_EQ(settings.read(Keys::CurrentSite), 0);
    EXPECT_EQ(settings.readString("Common", "WindowMax", "x"), QByteArray("0"));
    EXPECT_EQ(settings.read(Keys::WindowWidth), 700);
    EXPECT_EQ(settings.read(Keys::WindowHeight), 500);
    const std::vector<int> expected = {50, 140, 50, 50, 50, 50, 77};
    for (int column = 0; column < 7; ++column)
        EXPECT_EQ(settings.readString("ColumnWidth", QByteArray::number(column), "x"),
                  QByteArray::number(expected[static_cast<std::size_t>(column)]))
            << column;
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(MainWindowTest, MaximizedCloseKeepsTheLastNormalSizeAndTheNextStartIsMaximized)
{
    appDir.write(QStringLiteral("config.ini"), "[Common]\r\nWindowWidth=640\r\nWindowHeight=480\r\n");
    {
        auto window = start();
        window->show();
        EXPECT_EQ(window->size(), QSize(640, 480));
        window->showMaximized();
        ASSERT_TRUE(window->isMaximized());
        ASSERT_TRUE(window->close());
    }
    const SettingsFile settings(appDir.file(QStringLiteral("config.ini")));
    EXPECT_TRUE(settings.read(Keys::WindowMax));
    EXPECT_EQ(settings.read(Keys::WindowWidth), 640);
    EXPECT_EQ(settings.read(Keys::WindowHeight), 480);

    auto window = start();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    window->show();
    EXPECT_TRUE(window->isMaximized());
    window->showNormal();
    EXPECT_EQ(window->size(), QSize(793, 553));
}

TEST_F(MainWindowTest, StoredColumnWidthsAreClampedAndUnreadableOnesTakeTheDefault)
{
    appDir.write(QStringLiteral("config.ini"),
                 "[ColumnWidth]\r\n0=5\r\n1=20000\r\n2=abc\r\n3=0x40\r\n4=-7\r\n5=10\r\n6=10000\r\n");
    auto window = start();
    EXPECT_EQ(columnWidths(*window), (std::vector<int>{10, 10000, 50, 64, 10, 10, 10000, 90, 70, 160, 120, 120}));
}

TEST_F(MainWindowTest, AHugeStoredWindowSizeIsBoundedByTheScreens)
{
    appDir.write(QStringLiteral("config.ini"), "[Common]\r\nWindowWidth=2000000000\r\nWindowHeight=-5\r\n");
    auto window = start();
    window->show();
    const QSize screens = window->screen()->virtualSize();
    EXPECT_LE(window->width(), screens.width());
    EXPECT_LE(window->height(), screens.height());
    EXPECT_GE(window->height(), 1);
}

TEST_F(MainWindowTest, CurrentSiteSelectsItsWebsiteAndOneNamingNoWebsiteSelectsNothing)
{
    auto window = start();
    addWebsites(*window, {{"One", "one.example", 1}, {"Two", "two.example", 2}});

    SettingsFile settings(appDir.file(QStringLiteral("config.ini")));
    settings.write(Keys::CurrentSite, 2);
    window->RestoreWindowState();
    EXPECT_EQ(window->websitesPane().focusedId(), 2);
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for Two"));

    auto fresh = start();
    addWebsites(*fresh, {{"One", "one.example", 1}});
    settings.write(Keys::CurrentSite, 7);
    fresh->RestoreWindowState();
    EXPECT_EQ(fresh->websitesPane().focusedSite(), nullptr);
    EXPECT_EQ(fresh->linksPane().caption(), QStringLiteral("  Inbound Links for all my websites"));

    // The focused website is what the next close stores.
    fresh->websitesPane().SelectWebsiteById(1);
    ASSERT_TRUE(fresh->close());
    EXPECT_EQ(settings.read(Keys::CurrentSite), 1);
}

TEST_F(MainWindowTest, AnInstalledCopyKeepsItsDataInAPrivateFolderOfTheUser)
{
    const TempInstall installed;
    {
        auto window = start();
        EXPECT_EQ(window->appDir(), installed.dataFolder());
        window->show();
        EXPECT_TRUE(window->close());
    }
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(installed.dataFolder()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    // Nothing beside the executable or among the shipped files.
    EXPECT_EQ(installed.files(),
              (QStringList{QStringLiteral("xdg/quorvane/History.db"), QStringLiteral("xdg/quorvane/Items.txt"),
                           QStringLiteral("xdg/quorvane/config.ini")}));

    installed.write(QStringLiteral("xdg/quorvane/MySites.txt"), WebsiteToLine({"Mine", "mine.example", 7}) + "\r\n");
    auto again = start();
    EXPECT_EQ(again->websites().children().size(), 1u);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(MainWindowTest, FailedLinksSaveShowsTheErrorAndAbandonsTheClose)
{
    // A directory under a regular file cannot exist, which stops root as well: the executable's
    // folder cannot be written, and the data folder cannot be made.
    appDir.write(QStringLiteral("blocker"), "x");
    const QString badDir = appDir.file(QStringLiteral("blocker/dir/quorvane/"));
    std::unique_ptr<TfrmMain> window;
    {
        ScopedAppDir unwritable(appDir.file(QStringLiteral("blocker/bin/")));
        ScopedEnvironment dataHome("XDG_DATA_HOME", appDir.file(QStringLiteral("blocker/dir")));
        window = start();
    }
    addWebsites(*window, {{"Kept", "kept.example", 3}});
    window->show();

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("Cannot create file \"") + badDir +
                                                 QStringLiteral("Items.txt\". ")))
        << prompts.shown[0].text.toStdString();
    EXPECT_TRUE(prompts.shown[0].text.endsWith(u'.'));
    EXPECT_EQ(window->websites().children().size(), 1u);

    // "Exit" takes the same way out, and the window goes on working after the message.
    QAction* exit = menuEntry(*window, QStringLiteral("&File"), QStringLiteral("E&xit"));
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompts.shown.size(), 2);
    window->SelectWebsiteById(3);
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for Kept"));
}

TEST_F(MainWindowTest, FailedSettingsSaveAbandonsTheCloseAfterTheLinksAreWritten)
{
    // Nothing, not even root, can replace a directory by a file.
    ASSERT_TRUE(QDir(appDir.path()).mkdir(QStringLiteral("config.ini")));
    auto window = start();
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("Unable to write to ") + appDir.file(QStringLiteral("config.ini.")));
    EXPECT_TRUE(QFile::exists(appDir.file(QStringLiteral("Items.txt"))));
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndSaves)
{
    auto window = start();
    window->show();
    QAction* exit = menuEntry(*window, QStringLiteral("&File"), QStringLiteral("E&xit"));
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QFile::exists(appDir.file(QStringLiteral("config.ini"))));
}

TEST_F(MainWindowTest, StartUpRunsAgainOnTheSameWindowAfterTheListsAreEmptied)
{
    auto window = start();
    addWebsites(*window, {{"One", "one.example", 1}});
    SettingsFile(appDir.file(QStringLiteral("config.ini"))).write(Keys::WindowWidth, 612);

    window->EmptyLists();
    window->FormCreate();
    const WebsiteTreeModel& tree = window->websitesPane().model();
    EXPECT_EQ(tree.rowCount(), 1);
    EXPECT_EQ(tree.rowCount(tree.rootIndex()), 0);
    EXPECT_EQ(window->width(), 612);
}

TEST_F(MainWindowTest, SplitterButtonCollapsesTheWebsitesSideAndBringsItBack)
{
    auto window = start();
    window->show();
    SideSplitter& splitter = window->splitter();
    EXPECT_EQ(splitter.handleWidth(), 11);
    EXPECT_GE(splitter.sizes().value(0), 164);
    EXPECT_EQ(splitter.widget(0)->minimumWidth(), 1);
    const int before = splitter.sizes().value(0);

    splitter.toggleSide();
    EXPECT_TRUE(splitter.isSideCollapsed());
    EXPECT_EQ(splitter.sizes().value(0), 0);
    splitter.toggleSide();
    EXPECT_FALSE(splitter.isSideCollapsed());
    EXPECT_EQ(splitter.sizes().value(0), before);

    // The button spans 30 % of the handle's length.
    QSplitterHandle* handle = splitter.handle(1);
    auto* button = handle->findChild<QWidget*>(QStringLiteral("SplitterButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_NEAR(button->height(), handle->height() * 0.3, 1.0);
}

TEST_F(MainWindowTest, SplitterCursorComesFromMouseIcoInTheCurrentDirectoryNotAppDir)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    ASSERT_TRUE(image.save(appDir.file(QStringLiteral("mouse.ico")), "ICO"));
    const QString previous = QDir::currentPath();
    ASSERT_NE(QDir(previous).canonicalPath(), QDir(appDir.path()).canonicalPath());
    {
        auto window = start();
        EXPECT_EQ(window->splitter().handle(1)->cursor().shape(), Qt::ArrowCursor);
    }
    ASSERT_TRUE(QDir::setCurrent(appDir.path()));
    auto window = start();
    QDir::setCurrent(previous);
    EXPECT_EQ(window->splitter().handle(1)->cursor().shape(), Qt::BitmapCursor);
}

}  // namespace
