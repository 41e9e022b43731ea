#include "model/FileReplacer.h"

#include "model/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray directoryOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray resolveTarget(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return QFile::encodeName(target);
    }
    return QFile::encodeName(path);
}

bool writeAll(int fd, QByteArrayView data)
{
    const char* p = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(std::min<qsizetype>(left, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void syncDirectory(const QByteArray& dir)
{
    // Makes the renames themselves durable; a failure here loses nothing that was there before.
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileReplacer::~FileReplacer()
{
    for (const Staged& staged : m_staged)
        ::unlink(staged.temporary.constData());
}

void FileReplacer::stage(const QString& path, QByteArrayView contents)
{
    Staged staged{path, resolveTarget(path), {}};
    const QByteArray dir = directoryOf(staged.target);
    const QByteArray name = staged.target.mid(staged.target.lastIndexOf('/') + 1);

    struct stat old {};
    const bool exists = ::stat(staged.target.constData(), &old) == 0;
    // The rename would fail only in commit(), after other staged files may have been replaced.
    if (exists && S_ISDIR(old.st_mode))
        throw CannotCreateFile(path, SystemErrorText(EISDIR));
    const bool replacing = exists && S_ISREG(old.st_mode);
    // A file the user may not write stays as it is, as it would if it were rewritten in place.
    if (replacing && ::access(staged.target.constData(), W_OK) != 0)
        throw CannotCreateFile(path, SystemErrorText(errno));

    const bool ownerOnly = m_privacy == FilePrivacy::OwnerOnly;
    // A private file is private from its first byte: nobody else may open the temporary file
    // while the contents go in.
    const mode_t createMode = ownerOnly ? 0600 : replacing ? (old.st_mode & 07777) : 0666;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        staged.temporary =
            dir + '/' + '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        fd = ::open(staged.temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        throw CannotCreateFile(path, SystemErrorText(errno));

    int error = 0;
    if (replacing) {
        // The open's mode went through the umask; the old file's mode must not.
        const mode_t mode = ownerOnly ? (old.st_mode & 0600) : (old.st_mode & 07777);
        if (::fchmod(fd, mode) != 0)
            error = errno;
        if (!error && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)!::fchown(fd, old.st_uid, old.st_gid);  // only a privileged process may; fine if not
    } else if (ownerOnly && ::fchmod(fd, 0600) != 0) {
        error = errno;
    }
    if (!error && !writeAll(fd, contents))
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(staged.temporary.constData());
        throw CannotCreateFile(path, SystemErrorText(error));
    }
    m_staged.push_back(std::move(staged));
}

void FileReplacer::commit()
{
    while (!m_staged.empty()) {
        const Staged& staged = m_staged.front();
        if (::rename(staged.temporary.constData(), staged.target.constData()) != 0) {
            const int error = errno;
            const QString path = staged.path;
            throw CannotCreateFile(path, SystemErrorText(error));  // the destructor removes what is left
        }
        syncDirectory(directoryOf(staged.target));
        m_staged.erase(m_staged.begin());
    }
}

void ReplaceFileContents(const QString& path, QByteArrayView contents, FilePrivacy privacy)
{
    FileReplacer replacer(privacy);
    replacer.stage(path, contents);
    replacer.commit();
}
