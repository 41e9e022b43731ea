#include "model/CachedFile.h"
#include "model/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class CachedFileTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("config.ini")); }

    // In place, as an editor that rewrites the file it opened does.
    void writeInPlace(QByteArrayView bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes.data(), bytes.size()), bytes.size());
    }

    // A new file renamed over the old one, as the program's own writes do.
    void replace(QByteArrayView bytes) const
    {
        const QString temporary = path() + QStringLiteral(".new");
        QFile file(temporary);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), bytes.size()), bytes.size());
        file.close();
        ASSERT_EQ(::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path()).constData()), 0);
    }

    // Gives the file the modification time it had, so that only its other traits can tell.
    timespec modified() const
    {
        struct stat status {};
        ::stat(QFile::encodeName(path()).constData(), &status);
        return status.st_mtim;
    }
    void setModified(timespec time) const
    {
        const timespec times[2] = {time, time};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path()).constData(), times, 0), 0);
    }

    QTemporaryDir m_dir;
};

TEST_F(CachedFileTest, AnUnchangedFileIsReadOnceAndEveryChangeIsSeen)
{
    writeInPlace("[S]\nk=1\n");
    const CachedFile file(path(), 0ms);
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=1\n"));
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=1\n"));
    EXPECT_EQ(file.reads(), 1u);

    // The same size and modification time, through a new file: its inode tells.
    const timespec before = modified();
    replace("[S]\nk=2\n");
    setModified(before);
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=2\n"));

    writeInPlace("[S]\nk=22\n");
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=22\n"));

    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_EQ(file.contents(), std::nullopt);
    writeInPlace("[S]\nk=3\n");
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=3\n"));

    // A write of this process makes every copy stale, whatever the file's traits say.
    const std::uint64_t reads = file.reads();
    CachedFile::changedByThisProcess();
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=3\n"));
    EXPECT_EQ(file.reads(), reads + 1);
}

TEST_F(CachedFileTest, AFileChangedMomentsAgoIsReadAgainEveryTime)
{
    // Another write within the same tick could keep size and times: until the tick is well past, the
    // copy does not stand for the file.
    writeInPlace("[S]\nk=1\n");
    const CachedFile file(path());
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=1\n"));
    EXPECT_EQ(file.contents(), QByteArray("[S]\nk=1\n"));
    EXPECT_EQ(file.reads(), 2u);
}

TEST_F(CachedFileTest, OnlyRegularFilesAreReadSoThatNoReaderBlocks)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    const CachedFile fifo(path(), 0ms);
    EXPECT_EQ(fifo.contents(), std::nullopt);
    const SettingsFile settings(path());
    EXPECT_EQ(settings.read(Keys::ThreadCount), 3);

    const CachedFile directory(m_dir.path(), 0ms);
    EXPECT_EQ(directory.contents(), std::nullopt);
}

TEST_F(CachedFileTest, SettingsWrittenThroughAnyObjectReachEveryReaderAtOnce)
{
    SettingsFile dialog(path());
    const SettingsFile check(path());
    const SettingsFile copy = check;
    for (int value = 1; value <= 20; ++value) {
        // Same size each time, within one tick of the file system's clock.
        dialog.write(Keys::ProxyPort, 10 + value % 10);
        EXPECT_EQ(check.read(Keys::ProxyPort), 10 + value % 10);
        EXPECT_EQ(copy.read(Keys::ProxyPort), 10 + value % 10);
    }
}

}  // namespace
