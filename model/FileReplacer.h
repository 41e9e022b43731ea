#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

// Who may read a file written here.
enum class FilePrivacy {
    // The owner alone: a new file gets mode 0600; a replaced file keeps its owner's read and write
    // bits and loses every other, so it is never looser than 0600 and a stricter mode stays. For
    // what holds the user's data and the proxy password: config.ini, the data files, backups.
    OwnerOnly,
    // A new file gets the usual mode under the process's umask; a replaced file keeps its mode.
    // For what the user means to pass on, such as a report.
    Shared,
};

// Replaces whole files so that a reader, a crash or a kill at any moment finds each file either with
// its old contents or its new contents, never a mix, a truncation or nothing.
//
// stage() writes the new contents to a fresh temporary file beside the target and flushes it to
// disk; commit() then renames every staged file over its target. Until commit() nothing visible
// changes, so a caller replacing several files stages them all first and fails before touching any
// when one cannot be written. Staged files that are never committed are removed on destruction.
//
// A replaced file keeps the owner (where the process may) and, by FilePrivacy, the permissions of
// the file it replaces. A target that is a symbolic link has the file it points to replaced, so the
// link stays. A file the process may not write is refused, as writing it in place would be.
//
// Failures throw CannotCreateFile with the target's path as given and the system's reason.
class FileReplacer {
public:
    explicit FileReplacer(FilePrivacy privacy = FilePrivacy::OwnerOnly) : m_privacy(privacy) {}
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    void stage(const QString& path, QByteArrayView contents);
    void commit();

private:
    struct Staged {
        QString path;       // as the caller named it, for messages
        QByteArray target;  // where the rename goes, symbolic links resolved
        QByteArray temporary;
    };
    FilePrivacy m_privacy;
    std::vector<Staged> m_staged;
};

// Replaces one file whole, as FileReplacer does.
void ReplaceFileContents(const QString& path, QByteArrayView contents, FilePrivacy privacy = FilePrivacy::OwnerOnly);
