#include "model/Backup.h"

#include "model/AppError.h"
#include "model/DataFiles.h"
#include "model/FileReplacer.h"
#include "model/TextFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArrayView Separator(BackupSeparator, sizeof BackupSeparator - 1);
const QByteArrayView LineBreak("\r\n", 2);

// The lines of a file's text rewritten with CR LF after each.
QByteArray NormalisedLines(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (QByteArrayView line : SplitLines(text)) {
        out.append(line);
        out.append(LineBreak);
    }
    return out;
}

}  // namespace

QByteArray ReadWholeFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw CannotOpenFile(path, SystemErrorText(errno));
    QByteArray data;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        data.reserve(static_cast<qsizetype>(info.st_size));
    const int error = ReadToEnd(fd, data);
    ::close(fd);
    if (error)
        throw CannotOpenFile(path, SystemErrorText(error));
    return data;
}

BackupParts ReadDataFiles(const QString& appDir)
{
    BackupParts parts;
    parts.settings = NormalisedLines(ReadWholeFile(appDir + QLatin1StringView(SettingsFileName)));
    parts.websites = NormalisedLines(ReadWholeFile(appDir + QLatin1StringView(WebsitesFileName)));
    parts.links = NormalisedLines(ReadWholeFile(appDir + QLatin1StringView(LinksFileName)));
    return parts;
}

QByteArray BackupText(const BackupParts& parts)
{
    QByteArray text;
    text.reserve(parts.settings.size() + parts.websites.size() + parts.links.size() + 2 * (Separator.size() + 2));
    text.append(parts.settings);
    text.append(Separator).append(LineBreak);
    text.append(parts.websites);
    text.append(Separator).append(LineBreak);
    text.append(parts.links);
    return text;
}

std::optional<BackupParts> SplitBackup(QByteArrayView text)
{
    const std::vector<QByteArrayView> lines = SplitLines(text);
    std::size_t first = lines.size();
    std::size_t last = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == Separator) {
            if (first == lines.size())
                first = i;
            last = i;
        }
    }
    if (first == lines.size() || first == last)
        return std::nullopt;

    const auto join = [&lines](std::size_t from, std::size_t to) {
        QByteArray out;
        for (std::size_t i = from; i < to; ++i)
            out.append(lines[i]).append(LineBreak);
        return out;
    };
    return BackupParts{join(0, first), join(first + 1, last), join(last + 1, lines.size())};
}

void WriteBackupFile(const QString& path, const BackupParts& parts)
{
    ReplaceFileContents(path, BackupText(parts));
}

void WriteDataFiles(const QString& appDir, const BackupParts& parts)
{
    FileReplacer replacer;
    replacer.stage(appDir + QLatin1StringView(SettingsFileName), parts.settings);
    replacer.stage(appDir + QLatin1StringView(WebsitesFileName), parts.websites);
    replacer.stage(appDir + QLatin1StringView(LinksFileName), parts.links);
    replacer.commit();
}

QString WithDefaultExtension(const QString& path, const QString& extension)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = QStringView(path).sliced(slash + 1);
    if (name.isEmpty() || name.contains(u'.') || extension.isEmpty())
        return path;
    return path + u'.' + extension;
}
