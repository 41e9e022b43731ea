#include "dialogs/Schedule.h"
#include "dialogs/ScheduleOptions.h"
#include "dialogs/UnitOptions.h"
#include "dialogs/UserServices.h"
#include "gui/ModalScript.h"
#include "model/AppDir.h"
#include "model/AppError.h"
#include "model/DataFolder.h"
#include "model/SettingsFile.h"
#include "support/FakePrompts.h"
#include "support/TempAppDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Answers as systemctl would, and makes or removes the link that `enable` and `disable` leave in
// the unit folder, so that reading the schedule back sees what a real manager would show.
class FakeUserServices : public UserServices {
public:
    explicit FakeUserServices(QString unitFolder) : m_unitFolder(std::move(unitFolder)), m_scope(*this) {}

    Outcome systemctl(const QStringList& arguments) override
    {
        calls.append(arguments.join(u' '));
        if (!failOn.isEmpty() && arguments.first() == failOn)
            return {false, QStringLiteral("Failed to connect to bus: No medium found")};
        const QString wants = m_unitFolder + QStringLiteral("timers.target.wants/");
        if (arguments.first() == QStringLiteral("enable")) {
            QDir().mkpath(wants);
            QFile::link(m_unitFolder + QLatin1StringView(ScheduleTimerName), wants + arguments.last());
        } else if (arguments.first() == QStringLiteral("disable")) {
            QFile::remove(wants + arguments.last());
        }
        return {true, {}};
    }

    QStringList calls;
    QString failOn;

private:
    QString m_unitFolder;
    ScopedUserServices m_scope;
};

class ScheduleTest : public ::testing::Test {
protected:
    ScheduleTest()
    {
        m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    }
    ~ScheduleTest() override { qputenv("XDG_CONFIG_HOME", m_oldConfigHome); }

    QString unitFolder() const { return configHome.path() + QStringLiteral("/systemd/user/"); }
    QByteArray unit(const char* name) const
    {
        QFile file(unitFolder() + QLatin1StringView(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Opens the options, picks a schedule and saves.
    void choose(ScheduleKind kind, ScheduleKind expectShown)
    {
        ModalScript script;
        script.then([&](QDialog& d) {
            auto* dialog = As<TfrmOptions>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->GBSchedule()->value(), expectShown);
            dialog->GBSchedule()->setValue(kind);
            dialog->BBtnOk()->click();
        });
        ShowOptions(nullptr, settings);
        EXPECT_TRUE(script.finished());
    }

    QTemporaryDir configHome;
    TempAppDir appDir;
    InstalledFakePrompts prompts;
    SettingsFile settings{appDir.file(QStringLiteral("config.ini"))};
    FakeUserServices services{unitFolder()};

private:
    QByteArray m_oldConfigHome;
};

TEST_F(ScheduleTest, TheOptionsDialogTurnsTheTimerOnOverAndOff)
{
    choose(ScheduleKind::Daily, ScheduleKind::Off);
    EXPECT_EQ(services.calls,
              (QStringList{QStringLiteral("daemon-reload"), QStringLiteral("enable --now quorvane-check.timer")}));
    EXPECT_TRUE(unit(ScheduleTimerName).contains("\nOnCalendar=daily\n"));
    EXPECT_TRUE(unit(ScheduleTimerName).contains("\nPersistent=true\n"));
    const QByteArray execStart = "\nExecStart=" + SystemdProgram(AppDir() + QStringLiteral("quorvane-check")) +
        " --notify --appdir " + SystemdArgument(DataFolder()) + '\n';
    EXPECT_TRUE(unit(ScheduleServiceName).contains(execStart)) << unit(ScheduleServiceName).toStdString();

    services.calls.clear();
    choose(ScheduleKind::Weekly, ScheduleKind::Daily);
    EXPECT_TRUE(unit(ScheduleTimerName).contains("\nOnCalendar=weekly\n"));
    EXPECT_EQ(services.calls.last(), QStringLiteral("restart quorvane-check.timer"));

    // Saving without a change leaves the manager alone.
    services.calls.clear();
    choose(ScheduleKind::Weekly, ScheduleKind::Weekly);
    EXPECT_TRUE(services.calls.isEmpty());

    choose(ScheduleKind::Off, ScheduleKind::Weekly);
    EXPECT_EQ(services.calls,
              (QStringList{QStringLiteral("disable --now quorvane-check.timer"), QStringLiteral("daemon-reload")}));
    EXPECT_FALSE(QFile::exists(unitFolder() + QLatin1StringView(ScheduleTimerName)));
    EXPECT_FALSE(QFile::exists(unitFolder() + QLatin1StringView(ScheduleServiceName)));
    EXPECT_EQ(ReadSchedule(unitFolder()), ScheduleKind::Off);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// No user manager (a desktop without systemd, a session without its bus): one error box, and the
// other options are saved all the same.
TEST_F(ScheduleTest, AManagerThatFailsIsReportedAndTheOptionsAreSavedAnyway)
{
    services.failOn = QStringLiteral("daemon-reload");
    ModalScript script;
    script.then([&](QDialog& d) {
        auto* dialog = As<TfrmOptions>(d);
        ASSERT_TRUE(dialog);
        dialog->GBSchedule()->RBDaily()->setChecked(true);
        dialog->EditThreadCount()->setValue(9);
        dialog->BBtnOk()->click();
    });
    ShowOptions(nullptr, settings);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Error);
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("The schedule could not be changed: Failed to connect to bus: No medium found."));
    EXPECT_EQ(settings.read(Keys::ThreadCount), 9);
    EXPECT_EQ(ReadSchedule(unitFolder()), ScheduleKind::Off);
}

// The timer the package ships, enabled by hand, shows as on; a link whose unit is gone does not.
TEST_F(ScheduleTest, TheScheduleIsReadFromWhatTheManagerHasEnabled)
{
    QTemporaryDir packaged;
    QFile timer(packaged.filePath(QLatin1StringView(ScheduleTimerName)));
    ASSERT_TRUE(timer.open(QIODevice::WriteOnly));
    timer.write("[Timer]\nOnCalendar = Weekly\n");
    timer.close();
    QDir().mkpath(unitFolder() + QStringLiteral("timers.target.wants"));
    const QString link = unitFolder() + QStringLiteral("timers.target.wants/") + QLatin1StringView(ScheduleTimerName);
    ASSERT_TRUE(QFile::link(timer.fileName(), link));
    EXPECT_EQ(ReadSchedule(unitFolder()), ScheduleKind::Weekly);
    timer.remove();
    EXPECT_EQ(ReadSchedule(unitFolder()), ScheduleKind::Off);
}

// systemd's own reading of the units: the shipped ones, and ones written for a program and a data
// folder whose paths hold blanks, "%" and "$" (and quotes and a backslash, which only an argument
// may hold).
TEST(ScheduleUnits, SystemdAcceptsTheUnits)
{
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is not installed";
    QTemporaryDir dir;
    const QString odd = dir.filePath(QStringLiteral("a b %n $HOME"));
    ASSERT_TRUE(QDir().mkpath(odd));
    const QString program = odd + QStringLiteral("/quorvane-check");
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(QStringLiteral("true")), program));

    const auto verify = [&](const QString& folder) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(analyze,
                      {QStringLiteral("verify"), QStringLiteral("--user"), QStringLiteral("--man=no"),
                       QLatin1StringView(ScheduleServiceName), QLatin1StringView(ScheduleTimerName)});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardError();
    };

    const QString shipped = QString::fromLocal8Bit(qgetenv("QUORVANE_SOURCE_DIR")) + QStringLiteral("/data/systemd/");
    const QString copy = dir.filePath(QStringLiteral("shipped/"));
    QDir().mkpath(copy);
    for (const char* name : {ScheduleServiceName, ScheduleTimerName}) {
        QFile source(shipped + QLatin1StringView(name));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << name;
        QByteArray text = source.readAll();
        // The packaged path does not exist here; the rest of the file is what is checked.
        text.replace("ExecStart=/usr/bin/quorvane-check", "ExecStart=" + SystemdProgram(program));
        QFile target(copy + QLatin1StringView(name));
        ASSERT_TRUE(target.open(QIODevice::WriteOnly));
        target.write(text);
    }
    verify(copy);

    const QString written = dir.filePath(QStringLiteral("written/"));
    const SchedulePlace place{written, program, odd + QStringLiteral("/\"q\" \\x\t/")};
    FakeUserServices services(written);
    ApplySchedule(ScheduleKind::Weekly, ScheduleKind::Off, place, services);
    const QByteArray complaints = verify(written);
    // A path read back wrong would name another program, which systemd reports as missing.
    EXPECT_FALSE(complaints.contains("not executable")) << complaints.toStdString();

    // A program systemd could not start is refused before anything is written or enabled.
    const SchedulePlace quoted{dir.filePath(QStringLiteral("quoted/")), odd + QStringLiteral("/\"q\"/quorvane-check"),
                               odd};
    FakeUserServices untouched(quoted.unitFolder);
    EXPECT_THROW(ApplySchedule(ScheduleKind::Daily, ScheduleKind::Off, quoted, untouched), AppError);
    EXPECT_TRUE(untouched.calls.isEmpty());
    EXPECT_FALSE(QFile::exists(quoted.unitFolder + QLatin1StringView(ScheduleServiceName)));
}

}  // namespace
