#include "dialogs/Schedule.h"

#include "dialogs/UserServices.h"
#include "model/AppDir.h"
#include "model/AppError.h"
#include "model/DataFolder.h"
#include "model/FileReplacer.h"
#include "model/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcessEnvironment>

namespace {

QString UnitFolderFor(const QString& configHome)
{
    return QDir::cleanPath(configHome) + QStringLiteral("/systemd/user/");
}

QString ServicePath(const QString& unitFolder)
{
    return unitFolder + QLatin1StringView(ScheduleServiceName);
}

QString TimerPath(const QString& unitFolder)
{
    return unitFolder + QLatin1StringView(ScheduleTimerName);
}

// The link `systemctl enable` makes for the timer's [Install] section.
QString EnabledLink(const QString& unitFolder)
{
    return unitFolder + QStringLiteral("timers.target.wants/") + QLatin1StringView(ScheduleTimerName);
}

QByteArray CalendarOf(const QString& timerFile)
{
    QByteArray text;
    try {
        text = ReadTextFile(timerFile);
    } catch (const AppError&) {
        return {};
    }
    QByteArray calendar;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "OnCalendar")
            calendar = line.mid(equals + 1).trimmed().toLower();
    }
    return calendar;
}

void Run(UserServices& services, const QStringList& arguments)
{
    const UserServices::Outcome outcome = services.systemctl(arguments);
    if (!outcome.ok)
        throw AppError(QStringLiteral("The schedule could not be changed: %1").arg(outcome.error));
}

}  // namespace

SchedulePlace CurrentSchedulePlace()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString configHome = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    // A relative XDG_CONFIG_HOME counts as unset, for the desktop and for systemd alike.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return {UnitFolderFor(configHome), AppDir() + QStringLiteral("quorvane-check"), DataFolder()};
}

QByteArray SystemdProgram(const QString& path)
{
    QByteArray quoted = "\"";
    for (const char c : path.toUtf8()) {
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 32 || c == 127)
            return {};
        quoted += c == '%' ? QByteArray("%%") : QByteArray(1, c);
    }
    return quoted + '"';
}

QByteArray SystemdArgument(const QString& word)
{
    QByteArray quoted = "\"";
    for (const char c : word.toUtf8()) {
        switch (c) {
        case '\\': quoted += "\\\\"; break;
        case '"': quoted += "\\\""; break;
        case '%': quoted += "%%"; break;
        case '$': quoted += "$$"; break;
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 32 || c == 127)
                quoted += "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                quoted += c;
        }
    }
    return quoted + '"';
}

QByteArray ScheduleServiceText(const SchedulePlace& place)
{
    const QByteArray program = SystemdProgram(place.checkProgram);
    if (program.isEmpty())
        throw AppError(QStringLiteral("The schedule cannot run \"%1\": systemd cannot start a program whose path "
                                      "holds a quote, a backslash or a control character")
                           .arg(place.checkProgram));
    return "# Written by Quorvane's Options dialog, which removes it again when the schedule is turned off.\n"
           "[Unit]\n"
           "Description=Check the inbound links kept by Quorvane\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" +
        program + " --notify --appdir " + SystemdArgument(place.dataFolder) +
        "\n"
        "# Exit status 1 means some links were not found or could not be fetched: a result, not a failure.\n"
        "SuccessExitStatus=1\n"
        "Nice=10\n";
}

QByteArray ScheduleTimerText(ScheduleKind kind)
{
    const bool weekly = kind == ScheduleKind::Weekly;
    return "# Written by Quorvane's Options dialog, which removes it again when the schedule is turned off.\n"
           "[Unit]\n"
           "Description=Check the inbound links kept by Quorvane " +
        QByteArray(weekly ? "weekly" : "daily") +
        "\n"
        "\n"
        "[Timer]\n"
        "OnCalendar=" +
        QByteArray(weekly ? "weekly" : "daily") +
        "\n"
        "Persistent=true\n"
        "RandomizedDelaySec=15min\n"
        "\n"
        "[Install]\n"
        "WantedBy=timers.target\n";
}

ScheduleKind ReadSchedule(const QString& unitFolder)
{
    const QFileInfo link(EnabledLink(unitFolder));
    // exists() follows the link: one left behind by a removed unit counts as off.
    if (!link.exists())
        return ScheduleKind::Off;
    return CalendarOf(link.canonicalFilePath()) == "weekly" ? ScheduleKind::Weekly : ScheduleKind::Daily;
}

void ApplySchedule(ScheduleKind kind, ScheduleKind before, const SchedulePlace& place, UserServices& services)
{
    const QString timer = QLatin1StringView(ScheduleTimerName);
    if (kind == ScheduleKind::Off) {
        Run(services, {QStringLiteral("disable"), QStringLiteral("--now"), timer});
        for (const QString& path : {TimerPath(place.unitFolder), ServicePath(place.unitFolder)}) {
            QFile file(path);
            if (file.exists() && !file.remove())
                throw CannotCreateFile(path, file.errorString());
        }
        Run(services, {QStringLiteral("daemon-reload")});
        return;
    }
    const QByteArray service = ScheduleServiceText(place);
    if (!QDir().mkpath(place.unitFolder))
        throw CannotCreateFile(place.unitFolder, QStringLiteral("The folder cannot be created"));
    FileReplacer files(FilePrivacy::Shared);
    files.stage(ServicePath(place.unitFolder), service);
    files.stage(TimerPath(place.unitFolder), ScheduleTimerText(kind));
    files.commit();
    Run(services, {QStringLiteral("daemon-reload")});
    Run(services, {QStringLiteral("enable"), QStringLiteral("--now"), timer});
    // A timer already running keeps the calendar it started with until it starts again.
    if (before != ScheduleKind::Off)
        Run(services, {QStringLiteral("restart"), timer});
}
