#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

// Replaces whole files so that a reader, a crash or a kill at any moment finds each file either with
// its old contents or its new contents, never a mix, a truncation or nothing.
//
// stage() writes the new contents to a fresh temporary file beside the target and flushes it to
// disk; commit() then renames every staged file over its target. Until commit() nothing visible
// changes, so a caller replacing several files stages them all first and fails before touching any
// when one cannot be written. Staged files that are never committed are removed on destruction.
//
// A replaced file keeps the permissions (and, where the process may, the owner) of the file it
// replaces; a new file gets the usual permissions under the process's umask. A target that is a
// symbolic link has the file it points to replaced, so the link stays. A file the process may not
// write is refused, as writing it in place would be.
//
// Failures throw CannotCreateFile with the target's path as given and the system's reason.
class FileReplacer {
public:
    FileReplacer() = default;
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
    std::vector<Staged> m_staged;
};

// Replaces one file whole, as FileReplacer does.
void ReplaceFileContents(const QString& path, QByteArrayView contents);
