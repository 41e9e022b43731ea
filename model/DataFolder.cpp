#include "model/DataFolder.h"

#include "model/AppDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString WithSlash(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// ../share/quorvane from the executable's folder: where an installed copy keeps what it ships.
QString SharedFolder(const QString& executableFolder)
{
    return WithSlash(QDir::cleanPath(executableFolder + QStringLiteral("../share/quorvane")));
}

QString HomeFolder()
{
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (!home.isEmpty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return QFile::decodeName(found->pw_dir);
    return QDir::rootPath();
}

}  // namespace

DataFolderInputs CurrentDataFolderInputs()
{
    DataFolderInputs inputs;
    inputs.executableFolder = AppDir();
    // access() answers for this user, and for a read-only mount, which the permission bits do not.
    inputs.executableFolderWritable =
        ::access(QFile::encodeName(inputs.executableFolder).constData(), W_OK | X_OK) == 0;
    inputs.xdgDataHome = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    inputs.home = HomeFolder();
    return inputs;
}

QString DataFolderFor(const DataFolderInputs& inputs)
{
    const QString beside = WithSlash(inputs.executableFolder);
    if (QFileInfo::exists(beside + QStringLiteral("portable")))
        return beside;
    if (inputs.executableFolderWritable && !QFileInfo(SharedFolder(beside)).isDir())
        return beside;
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const QString base = QDir::isAbsolutePath(inputs.xdgDataHome)
        ? inputs.xdgDataHome
        : WithSlash(inputs.home) + QStringLiteral(".local/share");
    return WithSlash(QDir::cleanPath(base + QStringLiteral("/quorvane")));
}

QString DataFolder()
{
    return DataFolderFor(CurrentDataFolderInputs());
}

bool MakeDataFolder(const QString& folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (QFileInfo(clean).isDir())
        return true;
    // Parents first, each as private as the folder itself; one made meanwhile by another process is
    // fine.
    const int slash = clean.lastIndexOf(u'/');
    if (slash > 0 && !MakeDataFolder(clean.left(slash)))
        return false;
    const QByteArray path = QFile::encodeName(clean);
    if (::mkdir(path.constData(), 0700) == 0)
        ::chmod(path.constData(), 0700);  // whatever the umask took away
    else if (errno != EEXIST)
        return false;
    return QFileInfo(clean).isDir();
}

QString ShippedFileFor(const QString& name, const QString& dataFolder, const QString& executableFolder)
{
    const QString beside = WithSlash(executableFolder);
    for (const QString& folder : {WithSlash(dataFolder), beside, SharedFolder(beside)}) {
        if (QFileInfo(folder + name).isFile())
            return folder + name;
    }
    return WithSlash(dataFolder) + name;
}

QString ShippedFile(const QString& name)
{
    return ShippedFileFor(name, DataFolder(), AppDir());
}
