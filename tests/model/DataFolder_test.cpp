#include "model/AppDir.h"
#include "model/DataFolder.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A scratch file system: an executable's folder bin/, a home folder and an XDG data folder.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir(m_root.path()).mkpath(QStringLiteral("bin")));
    }

    QString path(const QString& relative) const { return m_root.path() + u'/' + relative; }
    void makeFolder(const QString& relative) const { ASSERT_TRUE(QDir(m_root.path()).mkpath(relative)); }
    void writeFile(const QString& relative, const QByteArray& bytes = {}) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    DataFolderInputs inputs(bool writable) const
    {
        return {path(QStringLiteral("bin/")), writable, path(QStringLiteral("xdg")), path(QStringLiteral("home"))};
    }

    static int modeOf(const QString& folder)
    {
        struct stat info {};
        if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
            return -1;
        return static_cast<int>(info.st_mode & 07777);
    }

    QTemporaryDir m_root;
};

TEST_F(DataFolderTest, AWritableExecutableFolderKeepsTheDataBesideTheExecutable)
{
    EXPECT_EQ(DataFolderFor(inputs(true)), path(QStringLiteral("bin/")));
}

TEST_F(DataFolderTest, AReadOnlyExecutableFolderSendsTheDataToTheUsersDataFolder)
{
    EXPECT_EQ(DataFolderFor(inputs(false)), path(QStringLiteral("xdg/quorvane/")));
    DataFolderInputs trailing = inputs(false);
    trailing.xdgDataHome += QStringLiteral("//");
    EXPECT_EQ(DataFolderFor(trailing), path(QStringLiteral("xdg/quorvane/")));
}

TEST_F(DataFolderTest, WithoutAnAbsoluteXdgDataHomeTheFolderIsUnderTheHomeFolder)
{
    for (const QString& xdg : {QString(), QStringLiteral("relative/share"), QStringLiteral("~/share")}) {
        DataFolderInputs unset = inputs(false);
        unset.xdgDataHome = xdg;
        EXPECT_EQ(DataFolderFor(unset), path(QStringLiteral("home/.local/share/quorvane/"))) << xdg.toStdString();
    }
}

TEST_F(DataFolderTest, ThePortableMarkerKeepsTheDataBesideTheExecutableWhateverElseHolds)
{
    writeFile(QStringLiteral("bin/portable"));
    makeFolder(QStringLiteral("share/quorvane"));
    EXPECT_EQ(DataFolderFor(inputs(false)), path(QStringLiteral("bin/")));
    EXPECT_EQ(DataFolderFor(inputs(true)), path(QStringLiteral("bin/")));
}

TEST_F(DataFolderTest, AnInstalledCopyKeepsTheDataInTheUsersFolderEvenWhenItCouldWriteBesideItself)
{
    // As root, /usr/bin is writable: the data must still not land there.
    makeFolder(QStringLiteral("share/quorvane"));
    EXPECT_EQ(DataFolderFor(inputs(true)), path(QStringLiteral("xdg/quorvane/")));
}

TEST_F(DataFolderTest, TheProcessInputsComeFromAppDirAccessAndTheEnvironment)
{
    const ScopedAppDir appDir(path(QStringLiteral("bin")));
    const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("xdg"))));
    const DataFolderInputs current = CurrentDataFolderInputs();
    EXPECT_EQ(current.executableFolder, path(QStringLiteral("bin/")));
    EXPECT_TRUE(current.executableFolderWritable);
    EXPECT_EQ(current.xdgDataHome, path(QStringLiteral("xdg")));
    EXPECT_EQ(DataFolder(), path(QStringLiteral("bin/")));
    if (::geteuid() != 0) {
        // Root may write anywhere; for anyone else the mode decides.
        ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("bin"))).constData(), 0555), 0);
        EXPECT_FALSE(CurrentDataFolderInputs().executableFolderWritable);
        EXPECT_EQ(DataFolder(), path(QStringLiteral("xdg/quorvane/")));
        ::chmod(QFile::encodeName(path(QStringLiteral("bin"))).constData(), 0755);
    }
    if (hadXdg)
        qputenv("XDG_DATA_HOME", savedXdg);
    else
        qunsetenv("XDG_DATA_HOME");
}

TEST_F(DataFolderTest, TheFolderIsMadePrivateWithItsMissingParents)
{
    const mode_t saved = ::umask(0277);  // even one that takes the owner's own bits
    const QString folder = path(QStringLiteral("home/.local/share/quorvane/"));
    EXPECT_TRUE(MakeDataFolder(folder));
    ::umask(saved);
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(path(QStringLiteral("home/.local"))), 0700);
    EXPECT_EQ(modeOf(path(QStringLiteral("home"))), 0700);

    // One that exists keeps the mode its owner gave it.
    makeFolder(QStringLiteral("open"));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("open"))).constData(), 0755), 0);
    EXPECT_TRUE(MakeDataFolder(path(QStringLiteral("open/"))));
    EXPECT_EQ(modeOf(path(QStringLiteral("open"))), 0755);
}

TEST_F(DataFolderTest, AFileInThePathIsAFailureNotACrash)
{
    writeFile(QStringLiteral("plain"), "not a folder");
    EXPECT_FALSE(MakeDataFolder(path(QStringLiteral("plain/quorvane/"))));
    EXPECT_FALSE(MakeDataFolder(path(QStringLiteral("plain"))));
    QFile plain(path(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), QByteArray("not a folder"));
}

TEST_F(DataFolderTest, ShippedFilesComeFromTheDataFolderThenBesideTheExecutableThenTheSharedFolder)
{
    const QString data = path(QStringLiteral("xdg/quorvane/"));
    const QString bin = path(QStringLiteral("bin/"));
    const QString shared = path(QStringLiteral("share/quorvane/"));
    makeFolder(QStringLiteral("xdg/quorvane"));
    makeFolder(QStringLiteral("share/quorvane"));

    // Nowhere: the data folder's path, where the user could put one.
    EXPECT_EQ(ShippedFileFor(QStringLiteral("Body.fmt"), data, bin), data + QStringLiteral("Body.fmt"));

    writeFile(QStringLiteral("share/quorvane/Body.fmt"), "shipped");
    EXPECT_EQ(ShippedFileFor(QStringLiteral("Body.fmt"), data, bin), shared + QStringLiteral("Body.fmt"));
    writeFile(QStringLiteral("bin/Body.fmt"), "beside");
    EXPECT_EQ(ShippedFileFor(QStringLiteral("Body.fmt"), data, bin), bin + QStringLiteral("Body.fmt"));
    writeFile(QStringLiteral("xdg/quorvane/Body.fmt"), "edited");
    EXPECT_EQ(ShippedFileFor(QStringLiteral("Body.fmt"), data, bin), data + QStringLiteral("Body.fmt"));

    // A folder of that name is no file; the others are looked up each on its own.
    makeFolder(QStringLiteral("xdg/quorvane/Title.fmt"));
    writeFile(QStringLiteral("share/quorvane/Title.fmt"), "shipped");
    EXPECT_EQ(ShippedFileFor(QStringLiteral("Title.fmt"), data, bin), shared + QStringLiteral("Title.fmt"));

    // The user guide's pictures sit in a folder of their own.
    makeFolder(QStringLiteral("share/quorvane/help"));
    writeFile(QStringLiteral("share/quorvane/help/about.png"));
    EXPECT_EQ(ShippedFileFor(QStringLiteral("help/about.png"), data, bin), shared + QStringLiteral("help/about.png"));
}

}  // namespace
