// How the check history meets trouble: what it tells the user, and how a damaged file is set aside.
#include "model/AppError.h"
#include "model/Clock.h"
#include "model/DateTime.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"

#include <QFile>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString Consequence = QStringLiteral(" No history is kept for the rest of this session.");

// Renames without ever replacing an existing file. Sets errno on failure.
bool RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the check and the rename are not one step, which is good
    // enough beside a file only Quorvane writes.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

bool Exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

const char* const Siblings[] = {"-wal", "-shm", "-journal"};

}  // namespace

HistoryStore::Trouble HistoryStore::classify(const SqliteError& error)
{
    if (error.isDamage())
        return Trouble::Damaged;
    const int system = error.systemError();
    switch (error.primaryCode()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Trouble::Locked;
    case SQLITE_FULL: return Trouble::Full;
    case SQLITE_READONLY:
    case SQLITE_PERM: return Trouble::ReadOnly;
    case SQLITE_IOERR:
        if (system == ENOSPC || system == EFBIG || system == EDQUOT)
            return Trouble::Full;
        return system == EROFS || system == EACCES ? Trouble::ReadOnly : Trouble::Other;
    case SQLITE_CANTOPEN: return system == EROFS || system == EACCES ? Trouble::ReadOnly : Trouble::Other;
    default: return Trouble::Other;
    }
}

void HistoryStore::switchOff(Trouble trouble, const QString& detail)
{
    m_recording = false;
    QString text;
    switch (trouble) {
    case Trouble::Damaged:
        text = QStringLiteral("The check history \"%1\" is damaged (%2).").arg(m_path, detail) + Consequence;
        break;
    case Trouble::Newer:
        text = QStringLiteral("The check history \"%1\" was written by a newer version of Quorvane. It is left as "
                              "it is, and no history is kept.")
                   .arg(m_path);
        break;
    case Trouble::Locked:
        text = QStringLiteral("The check history \"%1\" is locked by another program.").arg(m_path) + Consequence;
        break;
    case Trouble::Full:
        text = QStringLiteral("The disk that holds the check history \"%1\" is full (%2).").arg(m_path, detail) +
            Consequence;
        break;
    case Trouble::ReadOnly:
        text = detail.isEmpty()
            ? QStringLiteral("The check history \"%1\" is read-only. Earlier checks are shown, but no new ones are "
                             "kept.")
                  .arg(m_path)
            : QStringLiteral("The check history \"%1\" cannot be written (%2).").arg(m_path, detail) + Consequence;
        break;
    case Trouble::Other:
        text = QStringLiteral("The check history \"%1\" cannot be used (%2).").arg(m_path, detail) + Consequence;
        break;
    }
    {
        std::lock_guard lock(m_problemMutex);
        if (m_switchedOff)
            return;
        m_switchedOff = true;
    }
    report(text);
}

void HistoryStore::report(const QString& text)
{
    {
        std::lock_guard lock(m_problemMutex);
        m_problem = text;
    }
    if (m_onProblem)
        m_onProblem(text);
}

bool HistoryStore::setAside(QString* asideName, QString* reason)
{
    const double now = Now();
    const QString stamp = DecodeDate(now).toString(QStringLiteral("yyyy-MM-dd")) + u'-' +
        DecodeTime(now).toString(QStringLiteral("HHmmss"));
    const QByteArray path = QFile::encodeName(m_path);
    if (!Exists(path))
        return true;
    for (int n = 1; n < 1000; ++n) {
        const QString name =
            m_path + QStringLiteral(".damaged-") + stamp + (n > 1 ? u'-' + QString::number(n) : QString());
        const QByteArray aside = QFile::encodeName(name);
        bool taken = Exists(aside);
        for (const char* sibling : Siblings)
            taken = taken || Exists(aside + sibling);
        if (taken)
            continue;
        if (!RenameNoReplace(path, aside)) {
            if (errno == EEXIST)
                continue;
            *reason = SystemErrorText(errno);
            return false;
        }
        // The journal files go with it: left behind, SQLite would apply them to the new file.
        for (const char* sibling : Siblings) {
            if (Exists(path + sibling) && !RenameNoReplace(path + sibling, aside + sibling))
                ::unlink((path + sibling).constData());
        }
        *asideName = name;
        return true;
    }
    *reason = QStringLiteral("too many damaged histories beside it");
    return false;
}
