#include "app/LinksPane.h"
#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "dialogs/UnitAbout.h"
#include "gui/MenuEntry.h"
#include "model/LinkList.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Sep = QByteArray(48, '-');

const QByteArray Settings = "[Common]\r\nCurrentSite=1\r\nWindowWidth=760\r\nWindowHeight=560\r\n"
                            "[ColumnWidth]\r\n1=222\r\n";
const QByteArray Sites = "One|||one.example|||1|||\r\nTwo|||two.example|||2|||\r\n";
const QByteArray Links = "1|||http://a.example/|||Ann|||||||||1/2/2024|||12/30/1899|||\r\n"
                         "2|||http://b.example/|||Bob|||||||||1/3/2024|||12/30/1899|||\r\n"
                         "2|||http://c.example/|||Cy|||||||||1/4/2024|||12/30/1899|||\r\n";

// The main window on an AppDir holding two websites and three links, with the file dialogs, the
// boxes and the shell answered by the test.
class RestoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write(u"config.ini"_s, Settings);
        dir.write(u"MySites.txt"_s, Sites);
        dir.write(u"Items.txt"_s, Links);
        window = std::make_unique<TfrmMain>();
        window->show();
    }

    // Restores `backup` through the File menu, answering the question with `yes`.
    void restore(const QByteArray& backup, bool yes = true)
    {
        elsewhere.write(u"restore.bak"_s, backup);
        dialogs.queueFileName(elsewhere.file(u"restore.bak"_s));
        prompts.queueAnswer(yes);
        menuEntry(u"&File"_s, u"&Restore settings..."_s)->trigger();
    }

    QAction* menuEntry(const QString& menu, const QString& entry) const { return MenuEntry(*window, menu, entry); }

    QStringList visiblePages() const
    {
        QStringList pages;
        for (int row = 0; row < window->links().visibleCount(); ++row)
            pages.append(QString::fromLatin1(window->links().visibleRecord(row).PageUrl));
        return pages;
    }

    TempAppDir elsewhere;  // where backups go
    TempAppDir dir;        // AppDir: the later of the two takes that place
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    InstalledFakeShell shell;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(RestoreTest, ABackupRestoredGivesTheThreeFilesBackAndShowsThemAgain)
{
    dialogs.queueFileName(elsewhere.file(u"all"_s));
    menuEntry(u"&File"_s, u"&Backup settings..."_s)->trigger();
    ASSERT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
    const QByteArray backup = elsewhere.read(u"all.bak"_s);
    EXPECT_EQ(backup, Settings + Sep + "\r\n" + Sites + Sep + "\r\n" + Links);

    // Change everything, then restore.
    window->websitesPane().SelectWebsiteById(2);
    window->resize(700, 500);
    window->links().setStatus(window->links().record(0), lsFound);
    ASSERT_TRUE(window->close());
    window->show();
    ASSERT_NE(dir.read(u"config.ini"_s), Settings);

    restore(backup);
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
    EXPECT_EQ(dir.read(u"config.ini"_s), Settings);
    EXPECT_EQ(dir.read(u"MySites.txt"_s), Sites);
    EXPECT_EQ(dir.read(u"Items.txt"_s), Links);

    // "CurrentSite" of the backup is focused, and the list shows that website's links only.
    EXPECT_EQ(window->websitesPane().focusedId(), 1);
    EXPECT_EQ(window->linksPane().caption(), u"  Inbound Links for One"_s);
    EXPECT_EQ(visiblePages(), QStringList{u"http://a.example/"_s});
    EXPECT_EQ(window->links().rowCount(), 3);
    window->links().forEachRow([](const rMonitorInfo& link) { EXPECT_EQ(link.Status, lsUnchecked); });
    EXPECT_EQ(window->size(), QSize(760, 560));
    EXPECT_EQ(window->linksPane().columnWidth(1), 222);
    const WebsiteTreeModel& tree = window->websitesPane().model();
    EXPECT_EQ(tree.rowCount(tree.rootIndex()), 2);
}

TEST_F(RestoreTest, LinksChangedJustBeforeABackupAreInIt)
{
    window->websitesPane().focusRoot();
    window->links().setSelected(0, true);
    prompts.queueAnswer(true);
    window->DeleteSelected();
    dialogs.queueFileName(elsewhere.file(u"now.bak"_s));
    window->Backup();
    EXPECT_FALSE(elsewhere.read(u"now.bak"_s).contains("a.example"));
    EXPECT_TRUE(elsewhere.read(u"now.bak"_s).contains("b.example"));
}

// Taking a maximized window out of that state and back in drew it shrunk inside its frame.
TEST_F(RestoreTest, AMaximizedWindowStaysAsItIs)
{
    window->showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->isMaximized());
    const QRect before = window->geometry();
    const QRect frameBefore = window->frameGeometry();

    restore(Settings + Sep + "\r\n" + Sites + Sep + "\r\n" + Links);
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->geometry(), before);
    EXPECT_EQ(window->frameGeometry(), frameBefore);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->centralWidget()->width(), window->width()) << "the contents fill the window";
    // The rest of the window state comes from the backup as usual.
    EXPECT_EQ(window->websitesPane().focusedId(), 1);
    EXPECT_EQ(window->linksPane().columnWidth(1), 222);
}

TEST_F(RestoreTest, ABackupOfTwoSeparatorsRestoresTheDefaults)
{
    restore(Sep + "\r\n" + Sep + "\r\n");
    for (const QString& name : {u"config.ini"_s, u"MySites.txt"_s, u"Items.txt"_s}) {
        EXPECT_TRUE(QFileInfo(dir.file(name)).isFile()) << name.toStdString();
        EXPECT_EQ(dir.read(name), QByteArray()) << name.toStdString();
    }
    const WebsiteTreeModel& tree = window->websitesPane().model();
    ASSERT_EQ(tree.rowCount(), 1);
    EXPECT_EQ(tree.rowCount(tree.rootIndex()), 0);
    EXPECT_EQ(window->links().rowCount(), 0);
    EXPECT_EQ(window->websitesPane().focusedSite(), nullptr);
    EXPECT_EQ(window->linksPane().caption(), u"  Inbound Links for all my websites"_s);
    EXPECT_EQ(window->size(), QSize(799, 535));
    EXPECT_EQ(window->linksPane().columnWidth(1), 50);
    EXPECT_EQ(window->statusPanel(0)->text(), u" 0 inbound link(s)"_s);
}

TEST_F(RestoreTest, NoARefusedFileAndAFailedWriteLeaveTheWindowAndTheFilesAsTheyWere)
{
    const std::vector<LinkRecord> before = window->links().records();
    const auto expectUnchanged = [&] {
        EXPECT_EQ(window->links().records(), before);
        for (const LinkRecord& link : before)
            EXPECT_TRUE(link->Attached);
        EXPECT_EQ(window->websitesPane().focusedId(), 1);
        EXPECT_EQ(visiblePages(), QStringList{u"http://a.example/"_s});
        EXPECT_EQ(dir.read(u"config.ini"_s), Settings);
        EXPECT_EQ(dir.read(u"Items.txt"_s), Links);
    };
    const QByteArray backup = "[Common]\r\n" + Sep + "\r\nNew|||new.example|||7|||\r\n" + Sep + "\r\n";

    restore(backup, false);
    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.shown.isEmpty());
    expectUnchanged();

    restore("[Common]\r\n" + Sep + "\r\nNew|||new.example|||7|||\r\n");  // one separator: not a backup
    EXPECT_EQ(prompts.questions.size(), 1);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Warning);
    prompts.confirm(nullptr, {});  // use up the answer that was not asked for
    expectUnchanged();

    // MySites.txt cannot be replaced: a directory stands in its place, which stops root as well.
    QFile::remove(dir.file(u"MySites.txt"_s));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"MySites.txt"_s));
    prompts.shown.clear();
    restore(backup);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(u"Cannot create file \"%1\". "_s.arg(dir.file(u"MySites.txt"_s))));
    expectUnchanged();
}

// A check worker keeps its record alive after the row is gone; once detached, its late verdict
// must reach no row.
TEST_F(RestoreTest, ARestoreDetachesRecordsThatRunningChecksStillHold)
{
    window->websitesPane().focusRoot();
    const LinkRecord heldByWorker = window->links().recordHandle(1);
    ASSERT_TRUE(heldByWorker);
    ASSERT_TRUE(window->links().setStatus(*heldByWorker, lsChecking));
    const SettingsFile* settingsOfWorkers = &window->settings();

    restore(Sep + "\r\n" + Sep + "\r\n" + Links);
    EXPECT_EQ(&window->settings(), settingsOfWorkers);
    EXPECT_TRUE(window->stopRequested());  // a check walk waiting for a slot ends there
    EXPECT_FALSE(heldByWorker->Attached);
    EXPECT_EQ(heldByWorker->PageUrl, QByteArray("http://b.example/"));
    EXPECT_FALSE(window->links().setVerdict(*heldByWorker, lsFound, 45000.0));
    EXPECT_EQ(window->links().rowCount(), 3);
    window->links().forEachRow([](const rMonitorInfo& link) { EXPECT_EQ(link.Status, lsUnchecked); });
    EXPECT_EQ(window->statusPanel(1)->text(), u" 0 found"_s);
}

TEST_F(RestoreTest, HelpContactAndAboutFromTheirMenuEntriesAndTheToolButton)
{
    menuEntry(u"&Help"_s, u"Help"_s)->trigger();
    EXPECT_TRUE(shell.calls.isEmpty());  // no guide in this AppDir

    dir.write(u"Quorvane.html"_s, "<html></html>");
    menuEntry(u"&Help"_s, u"Help"_s)->trigger();
    window->commands().ToolBar1()->findChild<QToolButton*>(u"ToolButton7"_s)->click();
    menuEntry(u"&Help"_s, u"&Contact us..."_s)->trigger();
    EXPECT_EQ(shell.calls,
              (QStringList{u"file "_s + dir.file(u"Quorvane.html"_s), u"file "_s + dir.file(u"Quorvane.html"_s),
                           u"url https://quorvane.example/contact.php?from=software"_s}));

    bool shownOverTheWindow = false;
    QTimer::singleShot(0, window.get(), [&] {
        auto* about = window->findChild<TfrmAbout*>();
        shownOverTheWindow = about && about->isVisible() && about->isModal() && about->parentWidget() == window.get();
        if (about)
            about->BBtnOk()->click();
    });
    menuEntry(u"&Help"_s, u"&About..."_s)->trigger();
    EXPECT_TRUE(shownOverTheWindow);
    EXPECT_EQ(window->findChild<TfrmAbout*>(), nullptr);
}

}  // namespace
