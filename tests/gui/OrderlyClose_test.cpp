#include "app/OrderlyShutdown.h"
#include "app/UnitMain.h"
#include "model/LinkList.h"
#include "support/FakePrompts.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

template <typename Condition>
bool Eventually(Condition done, int boundMs = 10000)
{
    const QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Items.txt with LF line ends, as a hand edit leaves it: a save rewrites it with CR LF.
const QByteArray HandWrittenLinks = "1|||http://p1.example/|||Ann|||||||||1/2/2024|||12/30/1899|||\n";

// What the program writes back: the same link, every line ended by CR LF.
bool RewrittenBySave(const QByteArray& links)
{
    return links.startsWith("1|||http://p1.example/|||Ann|||") && links.endsWith("|||\r\n") && links.count('\n') == 1;
}

class OrderlyCloseTest : public ::testing::Test {
protected:
    OrderlyCloseTest() { WriteTwoWebsitesOneLink(appDir.path()); }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
};

// A logout or a signal has nobody to answer a box: the failure goes to standard error and the data
// stays in memory, in a window that is still open.
TEST_F(OrderlyCloseTest, AnUnattendedCloseReportsAFailedSaveOnStandardErrorWithoutABox)
{
    TfrmMain window;
    window.show();
    ASSERT_TRUE(QFile::remove(appDir.file(u"Items.txt"_s)));
    ASSERT_TRUE(QDir(appDir.path()).mkdir(u"Items.txt"_s));

    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.closeUnattended());
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.links().rowCount(), 1);
    EXPECT_EQ(error.rfind("Quorvane: Cannot create file \"" + appDir.file(u"Items.txt"_s).toStdString() + "\". ", 0),
              0u)
        << error;
    EXPECT_EQ(error.back(), '\n');

    // Mended, the same request closes and saves. The user's own close still shows its box.
    ASSERT_TRUE(QDir(appDir.path()).rmdir(u"Items.txt"_s));
    EXPECT_TRUE(window.closeUnattended());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(appDir.read(u"Items.txt"_s).contains("p1.example"));
    EXPECT_TRUE(QFile::exists(appDir.file(u"config.ini"_s)));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(OrderlyCloseTest, TerminateInterruptAndHangUpCloseTheWindowWithItsSaves)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        appDir.write(u"Items.txt"_s, HandWrittenLinks);
        QFile::remove(appDir.file(u"config.ini"_s));
        TfrmMain window;
        const OrderlyShutdown shutdown([&window] { window.closeUnattended(); });
        window.show();
        ASSERT_EQ(::raise(signal), 0);
        ASSERT_TRUE(Eventually([&window] { return !window.isVisible(); })) << "signal " << signal;
        EXPECT_EQ(shutdown.lastSignal(), signal);
        EXPECT_TRUE(RewrittenBySave(appDir.read(u"Items.txt"_s))) << appDir.read(u"Items.txt"_s).constData();
        EXPECT_TRUE(QFile::exists(appDir.file(u"config.ini"_s)));
    }
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// The program itself, in a folder of its own, ended as a logout ends it.
class ProgramProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString built = qEnvironmentVariable("QUORVANE_APPDIR") + u"/quorvane"_s;
        ASSERT_TRUE(QFile::exists(built)) << built.toStdString();
        ASSERT_TRUE(QFile::copy(built, folder.file(u"quorvane"_s)));
        WriteTwoWebsitesOneLink(folder.path());
        folder.write(u"Items.txt"_s, HandWrittenLinks);
        program.setProgram(folder.file(u"quorvane"_s));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.path());
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // True once the program catches SIGTERM, so that the signal no longer ends it outright.
    bool catchesTerminate() const
    {
        QFile status(u"/proc/%1/status"_s.arg(program.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
        return false;
    }

    void startAndWaitUntilItCatchesSignals()
    {
        program.start();
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(Eventually([this] { return catchesTerminate(); }));
    }

    TempAppDir folder;
    QProcess program;
};

TEST_F(ProgramProcess, TerminatedItSavesAndEndsNormally)
{
    startAndWaitUntilItCatchesSignals();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(RewrittenBySave(folder.read(u"Items.txt"_s))) << folder.read(u"Items.txt"_s).constData();
    EXPECT_TRUE(folder.read(u"config.ini"_s).contains("WindowMax=0"));
}

TEST_F(ProgramProcess, TerminatedWhileItCannotSaveItSaysSoAndKeepsRunning)
{
    startAndWaitUntilItCatchesSignals();
    ASSERT_TRUE(QFile::remove(folder.file(u"Items.txt"_s)));
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"Items.txt"_s));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    QByteArray error;
    ASSERT_TRUE(Eventually([&] {
        program.waitForReadyRead(10);
        error += program.readAllStandardError();
        const qsizetype at = error.indexOf("Quorvane: ");
        return at >= 0 && error.indexOf('\n', at) > at;
    }));
    EXPECT_TRUE(error.contains("Quorvane: Cannot create file \"")) << error.constData();
    EXPECT_FALSE(program.waitForFinished(300));
    EXPECT_EQ(program.state(), QProcess::Running);
}

}  // namespace
