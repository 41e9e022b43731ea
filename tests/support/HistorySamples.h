#pragma once

#include "model/CheckHistory.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// Checks as a worker reports them, for the history tests and benchmarks.

// A time to the millisecond, so that it comes back from the history exactly: the given minute
// after 1 May 2024 10:00, local time.
double MinuteAfterStart(int minutes, int ms = 0);

// A page that links to the website with a followed link, found by the verdict, with 300 bytes of
// evidence that `variant` makes differ from one check to another.
CheckFacts FollowedFacts(int variant = 0);
// A fetch that failed with the given kind and reason.
CheckFacts FailedFacts(QByteArrayView kind = "connect", const QString& reason = QStringLiteral("Connection refused"));

RecordedCheck Check(double at, LinkStatus verdict, const CheckFacts& facts, bool confirmation = false);
// The address of a partner page as the benchmarks number them: long, and alike at the start.
LinkKey SampleLinkKey(int link);
// The same found, followed link at every check, but for the time taken and the size; `changing`
// makes the evidence differ from one round to the next.
RecordedCheck SteadyCheck(int link, int round, bool changing);
// A typical link keeps its verdict: most are found with a followed link, some not found, a few
// failing; a quarter of the found pages change the text around the link now and then.
RecordedCheck TypicalCheck(int link, int round);

// The checks of history entries, in their order.
std::vector<RecordedCheck> Checks(const std::vector<HistoryEntry>& entries);

// A folder for one history file, removed afterwards.
class HistoryDir {
public:
    HistoryDir();
    QString file() const { return m_dir.filePath(QStringLiteral("History.db")); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Options for tests: a short busy time-out, no waiting before a commit.
struct HistoryOptions TestHistoryOptions(int busyTimeoutMs = 200);

// SQLite's full integrity check of the file: "ok" or the first problems found.
QByteArray IntegrityCheck(const QString& file);

// Runs SQL on the file through a plain connection, without the limits the history sets on its own.
// Throws std::runtime_error on failure.
void RawSql(const QString& file, const char* sql);
// The first column of the first row, as text.
QByteArray RawValue(const QString& file, const char* sql);

// Runs `body` in a child process, as an unprivileged user when this one is root (so that file
// permissions hold), and gives its exit code, or -1 when it did not exit normally.
int RunInChild(const std::function<int()>& body, bool unprivileged = false);
