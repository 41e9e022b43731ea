#include "model/CachedFile.h"

#include "model/TextFile.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bumped by every change this process makes to a cached file; a copy read under an older value is
// read again.
std::atomic<std::uint64_t> g_generation{1};

std::int64_t Nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

bool CachedFile::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
        Nanoseconds(modified) == Nanoseconds(other.modified) && Nanoseconds(changed) == Nanoseconds(other.changed);
}

CachedFile::CachedFile(QString path, std::chrono::milliseconds trustAfter)
    : m_path(QFile::encodeName(path)),
      m_trustAfterNs(std::chrono::duration_cast<std::chrono::nanoseconds>(trustAfter).count())
{
}

void CachedFile::changedByThisProcess()
{
    g_generation.fetch_add(1, std::memory_order_acq_rel);
}

std::uint64_t CachedFile::reads() const
{
    const std::lock_guard lock(m_mutex);
    return m_reads;
}

CachedFile::Identity CachedFile::identityOf(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size), status.st_mtim, status.st_ctim};
}

std::optional<QByteArray> CachedFile::contents() const
{
    // Taken before the look at the file: a change after it makes the copy stale at once.
    const std::uint64_t generation = g_generation.load(std::memory_order_acquire);
    struct stat status {};
    if (::stat(m_path.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    {
        const std::lock_guard lock(m_mutex);
        if (m_valid && m_generation == generation && m_identity == identityOf(status))
            return m_contents;
    }
    Identity identity;
    bool trusted = false;
    std::optional<QByteArray> fresh = readFresh(identity, trusted);
    const std::lock_guard lock(m_mutex);
    ++m_reads;
    m_valid = fresh && trusted;
    if (m_valid) {
        m_generation = generation;
        m_identity = identity;
        m_contents = *fresh;
    } else {
        m_contents.clear();
    }
    return fresh;
}

// The file's bytes with the identity of the file they came from, and whether that file's last
// change lies far enough back for the copy to stand for it.
std::optional<QByteArray> CachedFile::readFresh(Identity& identity, bool& trusted) const
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Non-blocking, so that a pipe put in the file's place cannot hold the reader.
    const int fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    identity = identityOf(status);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(status.st_size));
    const int error = ReadToEnd(fd, bytes);
    ::close(fd);
    if (error)
        return std::nullopt;
    const std::int64_t lastChange = std::max(Nanoseconds(status.st_mtim), Nanoseconds(status.st_ctim));
    trusted = Nanoseconds(now) - lastChange >= m_trustAfterNs;
    return bytes;
}
