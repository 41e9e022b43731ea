#include "model/AppError.h"
#include "model/FileReplacer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Contents that take many write calls and whose every prefix differs from both whole versions.
QByteArray bigContents(char fill, int size)
{
    QByteArray data(size, fill);
    data.append("END");
    return data;
}

}  // namespace

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 07777;
}

void setMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Sets the process's umask for a scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

}  // namespace

TEST(FileReplacer, PrivateFilesAreTheOwnersAloneAndAStricterModeStays)
{
    const ScopedUmask lenient(0);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.ini"_s);
    ReplaceFileContents(path, "new");
    EXPECT_EQ(modeOf(path), 0600u) << "a new file, whatever the umask";

    setMode(path, 0664);
    ReplaceFileContents(path, "group and others lose their bits");
    EXPECT_EQ(modeOf(path), 0600u);

    setMode(path, 0400);
    ReplaceFileContents(path, "read-only for the owner stays so");
    EXPECT_EQ(modeOf(path), 0400u);
    setMode(path, 0755);
    ReplaceFileContents(path, "no execute bit either");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(readFile(path), QByteArray("no execute bit either"));
}

TEST(FileReplacer, SharedFilesKeepTheirModeAndFollowTheUmask)
{
    const ScopedUmask usual(022);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.htm"_s);
    ReplaceFileContents(path, "old", FilePrivacy::Shared);
    EXPECT_EQ(modeOf(path), 0644u);
    setMode(path, 0640);
    ReplaceFileContents(path, "new", FilePrivacy::Shared);
    EXPECT_EQ(modeOf(path), 0640u);
}

TEST(FileReplacer, ReplacesThroughASymbolicLink)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Items.txt"_s);
    ReplaceFileContents(path, "old");
    const QString link = dir.filePath(u"link.txt"_s);
    ASSERT_TRUE(QFile::link(path, link));
    ReplaceFileContents(link, "through the link");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(path), QByteArray("through the link"));
    EXPECT_EQ(entries(dir.path()), (QStringList{u"Items.txt"_s, u"link.txt"_s}));
}

TEST(FileReplacer, NothingChangesUntilCommitAndUncommittedStagesVanish)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(u"a.txt"_s);
    const QString b = dir.filePath(u"b.txt"_s);
    ReplaceFileContents(a, "old a");
    {
        FileReplacer replacer;
        replacer.stage(a, "new a");
        replacer.stage(b, "new b");
        EXPECT_EQ(readFile(a), QByteArray("old a"));
        EXPECT_FALSE(QFile::exists(b));
    }
    EXPECT_EQ(entries(dir.path()), QStringList{u"a.txt"_s});

    FileReplacer replacer;
    replacer.stage(a, "new a");
    replacer.stage(b, "new b");
    replacer.commit();
    EXPECT_EQ(readFile(a), QByteArray("new a"));
    EXPECT_EQ(readFile(b), QByteArray("new b"));
    EXPECT_EQ(entries(dir.path()), (QStringList{u"a.txt"_s, u"b.txt"_s}));
}

TEST(FileReplacer, ARenameOntoADirectoryFailsAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Items.txt"_s));
    EXPECT_THROW(ReplaceFileContents(dir.filePath(u"Items.txt"_s), "x"), AppError);
    EXPECT_EQ(entries(dir.path()), QStringList{u"Items.txt"_s});
    EXPECT_TRUE(QFileInfo(dir.filePath(u"Items.txt"_s)).isDir());
}

// A write that runs out of room half-way (a file size limit stops root as well as a full disk
// would) must leave the old file exactly as it was.
TEST(FileReplacer, AWriteThatFailsHalfWayLeavesTheOldFileIntact)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Items.txt"_s);
    const QByteArray old = bigContents('o', 4000);
    ReplaceFileContents(path, old);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            ReplaceFileContents(path, bigContents('n', 1 << 20));
        } catch (const AppError& e) {
            code = e.text().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)) ? 0 : 2;
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save did not fail, 2: wrong message";
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(entries(dir.path()), QStringList{u"Items.txt"_s});
}

// A child saves two versions in turn until it is killed at a random moment; the file is always one
// of the two versions, whole.
TEST(FileReplacer, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Items.txt"_s);
    const QByteArray first = bigContents('a', 3 << 20);
    const QByteArray second = bigContents('b', 2 << 20);
    ReplaceFileContents(path, first);
    std::mt19937 rng(99);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                ReplaceFileContents(path, (i % 2) ? first : second);
        }
        ::usleep(1000 + rng() % 40000);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const QByteArray now = readFile(path);
        ASSERT_TRUE(now == first || now == second) << "round " << round << ": " << now.size() << " bytes";
    }
}
