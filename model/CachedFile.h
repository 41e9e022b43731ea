#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>

struct stat;

// The bytes of one small file that is read far more often than it changes (config.ini: every check
// reads a dozen keys). Each call still asks the file system about the file, but reads its bytes
// again only when it may have changed:
//  - its identity differs: device, inode, size, modification and change times to the nanosecond
//    (a write that replaces the file by a rename always brings a new inode; the change time cannot
//    be set back by a program, unlike the modification time);
//  - or this process wrote any such file since the bytes were read (changedByThisProcess()), so
//    that a value a dialog has just saved is what the next reader gets, whatever the clock;
//  - or the bytes were read within two seconds of the file's last change. File systems keep times
//    in ticks (a few milliseconds, or two seconds on some), so two writes within one tick that keep
//    the size would look alike; a copy is trusted only once its tick is well past.
//
// Only regular files are read: anything else (a directory, a pipe) counts as missing, so that a
// reader never blocks. Safe to call from several threads at once.
class CachedFile {
public:
    static constexpr std::chrono::milliseconds DefaultTrustAfter{2000};

    explicit CachedFile(QString path, std::chrono::milliseconds trustAfter = DefaultTrustAfter);
    CachedFile(const CachedFile&) = delete;
    CachedFile& operator=(const CachedFile&) = delete;

    // The file's bytes; nothing when it is missing or cannot be read.
    std::optional<QByteArray> contents() const;

    // A writer of this process calls it after every change: each cache reads its file again.
    static void changedByThisProcess();

    // For tests: how many times the bytes were read from the file.
    std::uint64_t reads() const;

private:
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = -1;
        timespec modified{};
        timespec changed{};
        bool operator==(const Identity& other) const;
    };
    static Identity identityOf(const struct stat& status);

    std::optional<QByteArray> readFresh(Identity& identity, bool& trusted) const;

    const QByteArray m_path;  // as the file system wants it
    const std::int64_t m_trustAfterNs;
    mutable std::mutex m_mutex;
    mutable bool m_valid = false;
    mutable std::uint64_t m_generation = 0;
    mutable Identity m_identity;
    mutable QByteArray m_contents;
    mutable std::uint64_t m_reads = 0;
};
