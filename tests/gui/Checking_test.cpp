#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "check/CheckDispatcher.h"
#include "gui/MenuEntry.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "support/CheckFixture.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/ScriptedServer.h"
#include "support/TempAppDir.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <pthread.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Address = "www.my-site.example";

// Makes every thread creation fail while it lives: the default stack size is one no address space
// can hold.
class ThreadCreationFailure {
public:
    ThreadCreationFailure()
    {
        pthread_getattr_default_np(&m_old);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, SIZE_MAX & ~std::size_t{0xFFFF});
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadCreationFailure()
    {
        pthread_setattr_default_np(&m_old);
        pthread_attr_destroy(&m_old);
    }

private:
    pthread_attr_t m_old;
};

// The main window over an AppDir with one website and links whose pages the scripted server
// serves, with the boxes, the file dialogs and the shell answered by the test.
class CheckingTest : public ::testing::Test {
protected:
    void start(int threadCount, int links)
    {
        dir.write(u"config.ini"_s, "[Common]\r\nThreadCount=" + QByteArray::number(threadCount) + "\r\n");
        dir.write(u"MySites.txt"_s, "Mine|||" + Address + "|||1|||\r\n");
        QByteArray items;
        for (int link = 0; link < links; ++link)
            items +=
                "1|||" + server.url("/page" + QByteArray::number(link)) + "|||Ann|||||||||1/2/2024|||12/30/1899|||\r\n";
        dir.write(u"Items.txt"_s, items);
        window = std::make_unique<TfrmMain>();
        window->show();
    }

    QAction* menuEntry(const QString& menu, const QString& entry) const { return MenuEntry(*window, menu, entry); }

    QToolButton* toolButton(const QString& name) const
    {
        return window->commands().ToolBar1()->findChild<QToolButton*>(name);
    }

    // The counts catch up with the checks' reports within a frame.
    bool panelsBecome(const QStringList& expected) const
    {
        return RunUntil([&] { return panels() == expected; });
    }

    QStringList panels() const
    {
        QStringList texts;
        for (int panel = 0; panel < 4; ++panel)
            texts.append(window->statusPanel(panel)->text());
        return texts;
    }

    std::vector<LinkStatus> statuses() const
    {
        std::vector<LinkStatus> all;
        window->links().forEachRow([&all](const rMonitorInfo& link) { all.push_back(link.Status); });
        return all;
    }

    bool idle() const
    {
        return RunUntil([this] { return window->dispatcher().RunningChecks() == 0; });
    }

    // Runs `action` once, from the event loop, the first time `when` holds.
    void onceWhen(std::function<bool()> when, std::function<void()> action)
    {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, when = std::move(when), action = std::move(action)] {
            if (!when())
                return;
            poll->stop();
            poll->deleteLater();
            action();
        });
        poll->start(2);
    }

    ScriptedServer server;
    TempAppDir elsewhere;
    TempAppDir dir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    InstalledFakeShell shell;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(CheckingTest, CheckFromTheToolButtonTheMenuAndTheShortcutChecksTheShownRowsAndTheCountsFollow)
{
    // One at a time, so the rows meet the scripts in list order.
    start(1, 3);
    const auto serveRound = [this] {
        server.answer(OkResponse("<a href=\"http://WWW.My-Site.Example/\">us</a>"));
        server.answer(OkResponse("nothing here"));
        server.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    };
    // A link of another website, which the filter hides: it is never checked.
    auto hidden = std::make_shared<rMonitorInfo>();
    hidden->SiteId = 2;
    hidden->PageUrl = server.url("/hidden");
    {
        LinkList::Update update(window->links());
        window->links().append(hidden);
    }
    window->SelectWebsiteById(1);
    EXPECT_EQ(panels(),
              (QStringList{u" 3 inbound link(s)"_s, u" 0 found"_s, u" 0 not found"_s, u" 0 connection error"_s}));
    const QStringList checked = {u" 3 inbound link(s)"_s, u" 1 found"_s, u" 1 not found"_s, u" 1 connection error"_s};

    serveRound();
    toolButton(u"ToolButtonRun"_s)->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), (std::vector<LinkStatus>{lsFound, lsNotFound, lsConnectionError, lsUnchecked}));
    EXPECT_TRUE(panelsBecome(checked)) << panels().join(u'|').toStdString();
    EXPECT_GT(window->links().record(2).LastCheck, 0.0);

    serveRound();
    menuEntry(u"&Check"_s, u"Check &All"_s)->trigger();
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 6);
    EXPECT_TRUE(panelsBecome(checked)) << panels().join(u'|').toStdString();

    serveRound();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 9);
    EXPECT_TRUE(panelsBecome(checked)) << panels().join(u'|').toStdString();

    serveRound();
    QTest::keyClick(window.get(), Qt::Key_F5);
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.connections(), 12);
    EXPECT_TRUE(panelsBecome(checked)) << panels().join(u'|').toStdString();
    EXPECT_EQ(hidden->Status, lsUnchecked);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(CheckingTest, CheckSelectedChecksTheSelectedRowsAndWithoutAnyTellsTheUserOnce)
{
    start(1, 3);
    menuEntry(u"&Check"_s, u"Check &Selected"_s)->trigger();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0], (FakePrompts::Shown{Prompts::Kind::Information, u"Please Select a inbound link"_s}));
    EXPECT_EQ(window->dispatcher().RunningChecks(), 0);
    EXPECT_EQ(server.connections(), 0);

    // Modify takes the same way.
    window->EditExist();
    EXPECT_EQ(prompts.shown.size(), 2);

    server.answer(OkResponse(Address));
    window->links().setSelected(1, true);
    window->StartSelected();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), (std::vector<LinkStatus>{lsUnchecked, lsFound, lsUnchecked}));
    EXPECT_EQ(prompts.shown.size(), 2);
}

TEST_F(CheckingTest, StopWhileTheWalkWaitsStartsNoMoreChecksAndTheRunningOneReports)
{
    start(1, 4);
    server.add(ServerScript().readRequest().awaitRelease().send(OkResponse(Address)));
    server.answer(OkResponse(Address));
    onceWhen([this] { return window->links().record(0).Status == lsChecking; },
             [this] {
                 toolButton(u"ToolButton1"_s)->click();
                 EXPECT_TRUE(window->stopRequested());
                 server.release();
             });
    toolButton(u"ToolButtonRun"_s)->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), (std::vector<LinkStatus>{lsFound, lsUnchecked, lsUnchecked, lsUnchecked}));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(RunUntil([this] { return panels()[1] == u" 1 found"_s; })) << panels()[1].toStdString();
}

TEST_F(CheckingTest, AThreadCountSavedInOptionsWhileTheWalkWaitsAppliesAtItsNextPass)
{
    start(1, 3);
    for (int page = 0; page < 3; ++page)
        server.add(ServerScript().readRequest().awaitRelease().send(OkResponse(Address)));
    onceWhen([this] { return window->dispatcher().RunningChecks() == 1; },
             [this] {
                 // What the options dialog's Save does.
                 window->settings().write(Keys::ThreadCount, 3);
             });
    // With one slot and the first page held back, the walk ends only if it re-reads the limit.
    toolButton(u"ToolButtonRun"_s)->click();
    EXPECT_EQ(window->dispatcher().RunningChecks(), 3);
    EXPECT_TRUE(RunUntil([this] { return server.connections() == 3; }));
    server.release();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), std::vector<LinkStatus>(3, lsFound));
}

TEST_F(CheckingTest, ARestoreDuringRunningChecksEndsTheWalkAndLateResultsReachNoRow)
{
    start(2, 6);
    for (int page = 0; page < 2; ++page)
        server.add(ServerScript().readRequest().awaitRelease().send(OkResponse(Address)));
    const QByteArray backup = "[Common]\r\nThreadCount=2\r\n" + QByteArray(48, '-') + "\r\nMine|||" + Address +
        "|||1|||\r\n" + QByteArray(48, '-') + "\r\n1|||" + server.url("/restored") +
        "|||Bo|||||||||1/2/2024|||12/30/1899|||\r\n";
    elsewhere.write(u"restore.bak"_s, backup);
    onceWhen([this] { return window->dispatcher().RunningChecks() == 2; },
             [this] {
                 dialogs.queueFileName(elsewhere.file(u"restore.bak"_s));
                 prompts.queueAnswer(true);
                 menuEntry(u"&File"_s, u"&Restore settings..."_s)->trigger();
                 server.release();
             });
    toolButton(u"ToolButtonRun"_s)->click();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
    // The walk ended at the row it waited for, which the restore had removed.
    EXPECT_EQ(server.connections(), 2);
    ASSERT_EQ(window->links().rowCount(), 1);
    EXPECT_EQ(window->links().record(0).PageUrl, server.url("/restored"));
    EXPECT_EQ(statuses(), std::vector<LinkStatus>{lsUnchecked});
    EXPECT_EQ(panels()[1], u" 0 found"_s);

    // The dispatcher works on over the restored rows.
    server.answer(OkResponse("gone"));
    window->StartAll();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), std::vector<LinkStatus>{lsNotFound});
}

TEST_F(CheckingTest, ClosingWhileChecksHangOnASilentServerEndsPromptlyAndSavesTheLinks)
{
    start(3, 8);
    for (int page = 0; page < 8; ++page)
        server.add(ServerScript().readRequest().holdOpen());
    bool closed = false;
    QElapsedTimer clock;
    onceWhen([this] { return server.connections() == 3; },
             [&] {
                 clock.start();
                 closed = window->close();
             });
    toolButton(u"ToolButtonRun"_s)->click();
    // The walk ended in its wait, before its next row.
    ASSERT_TRUE(closed);
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_TRUE(window->dispatcher().isShutDown());
    const QByteArray saved = dir.read(u"Items.txt"_s);
    EXPECT_EQ(saved.count("\r\n"), 8);
    // Results after the save are dropped.
    const std::vector<LinkStatus> atClose = statuses();
    QTest::qWait(50);
    EXPECT_EQ(statuses(), atClose);
    EXPECT_EQ(server.connections(), 3);
    window.reset();
}

TEST_F(CheckingTest, AFailedSaveAbandonsTheCloseAndCheckingGoesOn)
{
    start(1, 1);
    QFile::remove(dir.file(u"Items.txt"_s));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Items.txt"_s));
    EXPECT_FALSE(window->close());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Error);
    EXPECT_FALSE(window->dispatcher().isShutDown());

    server.answer(OkResponse(Address));
    toolButton(u"ToolButtonRun"_s)->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), std::vector<LinkStatus>{lsFound});
}

TEST_F(CheckingTest, AWorkerThatCannotBeCreatedReachesTheErrorBoxAndTheWindowGoesOn)
{
    start(3, 2);
    {
        const ThreadCreationFailure noThreads;
        toolButton(u"ToolButtonRun"_s)->click();
    }
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(u"Thread creation error: "_s)) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(window->dispatcher().RunningChecks(), 0);
    EXPECT_EQ(server.connections(), 0);

    server.answer(OkResponse(Address));
    server.answer(OkResponse(Address));
    toolButton(u"ToolButtonRun"_s)->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(statuses(), std::vector<LinkStatus>(2, lsFound));
}

}  // namespace
