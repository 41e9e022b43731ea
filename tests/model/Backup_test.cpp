#include "model/AppError.h"
#include "model/Backup.h"
#include "model/DataFiles.h"

#include "support/QtPrinters.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Sep = QByteArray(48, '-');

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// What the three files hold in a typical AppDir, with every kind of line end and no final break.
void writeTypicalFiles(const TempAppDir& dir)
{
    dir.write(u"config.ini"_s, "[Common]\r\nCurrentSite=2\nWindowWidth=900\rWindowHeight=600");
    dir.write(u"MySites.txt"_s, "One|||one.example|||1|||\r\nTwo|||two.example|||2|||\r\n");
    dir.write(u"Items.txt"_s, "2|||http://p.example/|||Ann|||Lee|||a@p.example|||1/2/2024|||12/30/1899|||\n");
}

}  // namespace

TEST(Backup, HoldsTheThreeFilesLineForLineBetweenSeparatorsWithCrLf)
{
    TempAppDir source;
    writeTypicalFiles(source);
    const QString backup = source.file(u"saved.bak"_s);
    WriteBackupFile(backup, ReadDataFiles(source.path()));

    EXPECT_EQ(source.read(u"saved.bak"_s),
              "[Common]\r\nCurrentSite=2\r\nWindowWidth=900\r\nWindowHeight=600\r\n" + Sep +
                  "\r\n"
                  "One|||one.example|||1|||\r\nTwo|||two.example|||2|||\r\n" +
                  Sep +
                  "\r\n"
                  "2|||http://p.example/|||Ann|||Lee|||a@p.example|||1/2/2024|||12/30/1899|||\r\n");

    // Restored elsewhere, the files come back with the same lines, every one ended by CR LF.
    TempAppDir target;
    const auto parts = SplitBackup(ReadWholeFile(backup));
    ASSERT_TRUE(parts);
    WriteDataFiles(target.path(), *parts);
    EXPECT_EQ(target.read(u"config.ini"_s), "[Common]\r\nCurrentSite=2\r\nWindowWidth=900\r\nWindowHeight=600\r\n");
    EXPECT_EQ(target.read(u"MySites.txt"_s), source.read(u"MySites.txt"_s));
    EXPECT_EQ(target.read(u"Items.txt"_s), source.read(u"Items.txt"_s).replace("\n", "\r\n"));
    EXPECT_EQ(entries(target.path()), (QStringList{u"Items.txt"_s, u"MySites.txt"_s, u"config.ini"_s}));

    // A second round trip changes nothing more.
    EXPECT_EQ(ReadDataFiles(target.path()), *parts);
}

TEST(Backup, NamesTheFirstMissingFileInReadingOrder)
{
    TempAppDir dir;
    const auto failureOf = [&dir] {
        try {
            ReadDataFiles(dir.path());
        } catch (const AppError& e) {
            return e.text();
        }
        return u"no failure"_s;
    };
    // Right after the first start only the links file may exist.
    dir.write(u"Items.txt"_s, "");
    EXPECT_TRUE(failureOf().startsWith(u"Cannot open file \"%1\". "_s.arg(dir.file(u"config.ini"_s))));
    EXPECT_GT(failureOf().size(), u"Cannot open file \"%1\". "_s.arg(dir.file(u"config.ini"_s)).size());

    dir.write(u"config.ini"_s, "[Common]\r\n");
    EXPECT_TRUE(failureOf().startsWith(u"Cannot open file \"%1\". "_s.arg(dir.file(u"MySites.txt"_s))));

    dir.write(u"MySites.txt"_s, "");
    EXPECT_EQ(failureOf(), u"no failure"_s);

    QFile::remove(dir.file(u"Items.txt"_s));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Items.txt"_s));  // opens, but cannot be read
    EXPECT_TRUE(failureOf().startsWith(u"Cannot open file \"%1\". "_s.arg(dir.file(u"Items.txt"_s))));
}

TEST(Backup, SplitCutsAtTheFirstAndLastSeparatorComparedByteForByte)
{
    // Only two separators: three empty parts, which restore to empty files.
    auto parts = SplitBackup(Sep + "\r\n" + Sep + "\r\n");
    ASSERT_TRUE(parts);
    EXPECT_EQ(*parts, BackupParts{});

    // Separators between the first and the last belong to the websites part; a separator with a
    // trailing blank, or one hyphen short or long, is an ordinary line; any line end counts.
    parts = SplitBackup("a\r" + Sep + " \n" + Sep + "\n" + "w1\r\n" + Sep + "\r\n" + Sep.left(47) + "\r\n" + Sep +
                        "\r" + Sep + "-\r\nl1\r\nl2");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->settings, "a\r\n" + Sep + " \r\n");
    EXPECT_EQ(parts->websites, "w1\r\n" + Sep + "\r\n" + Sep.left(47) + "\r\n");
    EXPECT_EQ(parts->links, Sep + "-\r\nl1\r\nl2\r\n");
}

TEST(Backup, ATextWithFewerThanTwoSeparatorsIsNotABackup)
{
    EXPECT_FALSE(SplitBackup(""));
    EXPECT_FALSE(SplitBackup("[Common]\r\nThreadCount=3\r\n"));
    EXPECT_FALSE(SplitBackup("[Common]\r\n" + Sep + "\r\nOne|||one.example|||1|||\r\n"));
    EXPECT_FALSE(SplitBackup(Sep + " \r\n" + Sep + "\r\n"));
    // Text after a NUL byte is not read, as in the data files.
    EXPECT_FALSE(SplitBackup(Sep + "\r\n" + QByteArray(1, '\0') + Sep + "\r\n"));
}

TEST(Backup, AFileThatCannotBeWrittenLeavesAllThreeAsTheyWere)
{
    TempAppDir dir;
    writeTypicalFiles(dir);
    const QByteArray settings = dir.read(u"config.ini"_s);
    QFile::remove(dir.file(u"MySites.txt"_s));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"MySites.txt"_s));
    const QByteArray links = dir.read(u"Items.txt"_s);

    const BackupParts parts{"[Common]\r\n", "New|||new.example|||5|||\r\n", ""};
    try {
        WriteDataFiles(dir.path(), parts);
        ADD_FAILURE() << "the restore did not fail";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.text().startsWith(u"Cannot create file \"%1\". "_s.arg(dir.file(u"MySites.txt"_s))))
            << e.text().toStdString();
    }
    EXPECT_EQ(dir.read(u"config.ini"_s), settings);
    EXPECT_EQ(dir.read(u"Items.txt"_s), links);
    EXPECT_TRUE(QFileInfo(dir.file(u"MySites.txt"_s)).isDir());
    EXPECT_EQ(entries(dir.path()), (QStringList{u"Items.txt"_s, u"MySites.txt"_s, u"config.ini"_s}));
}

TEST(Backup, ABackupThatCannotBeCreatedSaysSo)
{
    TempAppDir dir;
    const QString path = dir.file(u"no-such-folder/saved.bak"_s);
    try {
        WriteBackupFile(path, BackupParts{});
        ADD_FAILURE() << "the backup did not fail";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.text().startsWith(u"Cannot create file \"%1\". "_s.arg(path)));
    }
    EXPECT_THROW(ReadWholeFile(path), AppError);
}

TEST(Backup, ANameWithoutExtensionGetsTheBackupExtension)
{
    EXPECT_EQ(WithDefaultExtension(u"/home/ann/monday"_s, u"bak"_s), u"/home/ann/monday.bak"_s);
    EXPECT_EQ(WithDefaultExtension(u"/home/ann/monday.bak"_s, u"bak"_s), u"/home/ann/monday.bak"_s);
    EXPECT_EQ(WithDefaultExtension(u"/home/ann/monday.old"_s, u"bak"_s), u"/home/ann/monday.old"_s);
    // A dot in a folder's name does not count for the file's.
    EXPECT_EQ(WithDefaultExtension(u"/home/ann.b/monday"_s, u"bak"_s), u"/home/ann.b/monday.bak"_s);
}

// The three files and every backup hold the proxy password or the user's contacts.
TEST(Backup, BackupsRestoredFilesAndSavedDataFilesAreTheOwnersAlone)
{
    const mode_t oldMask = ::umask(022);
    TempAppDir dir;
    writeTypicalFiles(dir);
    const auto modeOf = [](const QString& path) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode & 07777;
    };
    const mode_t ownerOnly = 0600;

    const QString backup = dir.file(u"saved.bak"_s);
    WriteBackupFile(backup, ReadDataFiles(dir.path()));
    EXPECT_EQ(modeOf(backup), ownerOnly);

    ASSERT_EQ(::chmod(QFile::encodeName(dir.file(u"config.ini"_s)).constData(), 0644), 0);
    WriteDataFiles(dir.path(), *SplitBackup(ReadWholeFile(backup)));
    for (const QString& name : {u"config.ini"_s, u"MySites.txt"_s, u"Items.txt"_s})
        EXPECT_EQ(modeOf(dir.file(name)), ownerOnly) << name.toStdString();

    TempAppDir fresh;
    SaveWebsites(fresh.path(), Websites({{"One", "one.example", 1}}));
    EXPECT_EQ(modeOf(fresh.file(u"MySites.txt"_s)), ownerOnly);
    ::umask(oldMask);
}
