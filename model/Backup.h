#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// A backup file holds all persistent data in one text: the lines of config.ini, a separator line,
// the lines of MySites.txt, a separator line, the lines of Items.txt, every line ended by CR LF.
// There is no header, version mark or checksum; the separator lines are the whole structure.

inline constexpr char BackupSeparator[] = "------------------------------------------------";  // 48 hyphens
inline constexpr char SettingsFileName[] = "config.ini";
inline constexpr char BackupExtension[] = "bak";

// The three files' texts, each as lines ended by CR LF (empty when the file has no line).
struct BackupParts {
    QByteArray settings;
    QByteArray websites;
    QByteArray links;
    bool operator==(const BackupParts&) const = default;
};

// The three files as they are on disk in `appDir` (ending with '/'), read in the order config.ini,
// MySites.txt, Items.txt and split into lines as the data files are. Throws CannotOpenFile naming
// the first that cannot be read.
BackupParts ReadDataFiles(const QString& appDir);

QByteArray BackupText(const BackupParts& parts);

// Cuts a backup apart at its first and its last separator line; separators between them belong to
// the websites part. A separator is a line equal to BackupSeparator byte for byte. Without two
// separator lines the text is not a backup: splitting it would mix the parts up.
std::optional<BackupParts> SplitBackup(QByteArrayView text);

// A file's bytes; throws CannotOpenFile with the system's reason.
QByteArray ReadWholeFile(const QString& path);

// Writes a backup file whole, replacing one of that name; throws CannotCreateFile.
void WriteBackupFile(const QString& path, const BackupParts& parts);

// Replaces the three files in `appDir` all together: each new file is written in full beside its
// target first, and only when all three are written do they take the old ones' places. A failure
// throws CannotCreateFile naming the file and leaves all three as they were.
void WriteDataFiles(const QString& appDir, const BackupParts& parts);

// A file name typed without an extension gets `extension` (without the dot). A name already
// holding a dot keeps it as it is, as the file dialog does.
QString WithDefaultExtension(const QString& path, const QString& extension);
