#pragma once

#include <QByteArray>
#include <QString>

class UserServices;

// Scheduled checks: a systemd user timer that runs quorvane-check --notify for the current user,
// also while the window is closed. The Options dialog turns it on or off; the package ships a
// daily timer of the same name that a user may enable by hand instead.

enum class ScheduleKind { Off, Daily, Weekly };

inline constexpr char ScheduleServiceName[] = "quorvane-check.service";
inline constexpr char ScheduleTimerName[] = "quorvane-check.timer";

// Where the units go and what they run.
struct SchedulePlace {
    QString unitFolder;    // the user's own units: $XDG_CONFIG_HOME/systemd/user/, with a trailing '/'
    QString checkProgram;  // quorvane-check, absolute
    QString dataFolder;    // given to it with --appdir: the service's environment may not name the
                           // same data folder as the desktop's
};

// For the running program: quorvane-check beside its executable and the window's data folder.
SchedulePlace CurrentSchedulePlace();

// An argument of a unit's command line as systemd reads it back: quoted, with "\", '"' and control
// characters escaped and "%" and "$" doubled, so that no blank, specifier or variable in a path
// changes what runs.
QByteArray SystemdArgument(const QString& word);
// The program of a command line: quoted, with "%" doubled ("$" is not expanded there). systemd
// refuses a program path holding a quote, a backslash or a control character: empty then.
QByteArray SystemdProgram(const QString& path);

// Throws AppError when systemd cannot run the program from where it is.
QByteArray ScheduleServiceText(const SchedulePlace& place);
QByteArray ScheduleTimerText(ScheduleKind kind);

// What is on now: whatever timer of ours the user's manager has enabled (the one written here or
// the packaged one), weekly when it runs weekly, daily for any other calendar.
ScheduleKind ReadSchedule(const QString& unitFolder);

// Writes the units and enables and starts the timer, or stops and disables it and removes the
// units written here. Throws AppError, with what failed, for the user.
void ApplySchedule(ScheduleKind kind, ScheduleKind before, const SchedulePlace& place, UserServices& services);
