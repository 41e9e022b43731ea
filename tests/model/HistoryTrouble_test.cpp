#include "model/HistoryCodec.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"
#include "support/HistorySamples.h"
#include "support/StepClock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};
const LinkKey Travel{2, "http://travel.test/friends.html"};

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Counts the problems a store reports and keeps the last.
struct Reports {
    HistoryStore::ProblemHandler handler()
    {
        return [this](const QString& text) {
            ++count;
            last = text;
        };
    }
    int count = 0;
    QString last;
};

void Fill(const QString& file, int links, int checksEach)
{
    HistoryStore store(file, {}, TestHistoryOptions());
    for (int i = 0; i < checksEach; ++i) {
        for (int link = 0; link < links; ++link)
            store.record({1, "http://partner" + QByteArray::number(link) + ".test/"},
                         Check(MinuteAfterStart(i), i % 3 ? lsFound : lsNotFound, FollowedFacts(i)));
    }
    ASSERT_TRUE(store.flush());
}

}  // namespace

TEST(HistoryTrouble, SetsAsideAFileThatIsNotADatabaseWithoutEverOverwritingOne)
{
    HistoryDir dir;
    InstalledFixedClock clock(MinuteAfterStart(0, 7000));
    const QByteArray garbage = QByteArray("This is not a database.\n").repeated(400);
    const QString first = dir.file() + QStringLiteral(".damaged-2024-05-01-100007");
    for (int round = 1; round <= 2; ++round) {
        WriteBytes(dir.file(), garbage + QByteArray::number(round));
        Reports reports;
        HistoryStore store(dir.file(), reports.handler(), TestHistoryOptions());
        EXPECT_EQ(reports.count, 1);
        const QString aside = round == 1 ? first : first + QStringLiteral("-2");
        EXPECT_TRUE(reports.last.contains(QStringLiteral("renamed to \"%1\"").arg(aside)))
            << reports.last.toStdString();
        EXPECT_EQ(FileBytes(aside), garbage + QByteArray::number(round));
        EXPECT_TRUE(store.isRecording());
        store.record(Garden, Check(MinuteAfterStart(1), lsFound, FollowedFacts()));
        ASSERT_TRUE(store.flush());
        EXPECT_EQ(store.latestChecks().size(), 1);
        EXPECT_EQ(reports.count, 1);
    }
    EXPECT_EQ(FileBytes(first), garbage + "1");
}

// Damage inside a file that SQLite opens without complaint is found by the check the writer makes
// before its first commit; what was recorded meanwhile goes to the new file.
TEST(HistoryTrouble, FindsDamageInsideTheFileBeforeTheFirstCommit)
{
    HistoryDir dir;
    Fill(dir.file(), 40, 5);
    RawSql(dir.file(), "PRAGMA wal_checkpoint(TRUNCATE)");
    QByteArray bytes = FileBytes(dir.file());
    const qsizetype pageSize = RawValue(dir.file(), "PRAGMA page_size").toInt();
    const qsizetype pages = bytes.size() / pageSize;
    ASSERT_GT(pages, 6);
    // Every page after the schema's gets a page type no b-tree page can have.
    for (qsizetype page = 2; page < pages; ++page)
        bytes[page * pageSize] = char(0x6f);
    WriteBytes(dir.file(), bytes);

    Reports reports;
    HistoryStore store(dir.file(), reports.handler(), TestHistoryOptions());
    store.record(Travel, Check(MinuteAfterStart(9), lsFound, FollowedFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(reports.count, 1);
    EXPECT_TRUE(reports.last.contains(QStringLiteral("It was renamed to"))) << reports.last.toStdString();
    const LatestChecks latest = store.latestChecks();
    ASSERT_EQ(latest.size(), 1);
    EXPECT_NE(latest.find(Travel), nullptr);
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("History.db.damaged-*")}, QDir::Files);
    EXPECT_EQ(aside.filter(QRegularExpression(QStringLiteral("-(wal|shm)$"))).size(), aside.size() - 1)
        << aside.join(u' ').toStdString();
}

TEST(HistoryTrouble, SwitchesOffOnceWhenAnotherProgramKeepsTheFileLocked)
{
    HistoryDir dir;
    Fill(dir.file(), 3, 2);
    Reports reports;
    HistoryStore store(dir.file(), reports.handler(), TestHistoryOptions(100));
    {
        SqliteDb other(dir.file(), SqliteDb::Mode::ReadWrite, 0);
        other.exec("BEGIN EXCLUSIVE");
        store.record(Garden, Check(MinuteAfterStart(5), lsFound, FollowedFacts()));
        EXPECT_FALSE(store.flush());
        store.record(Garden, Check(MinuteAfterStart(6), lsFound, FollowedFacts()));
        EXPECT_FALSE(store.flush());
        other.exec("ROLLBACK");
    }
    EXPECT_FALSE(store.isRecording());
    EXPECT_EQ(reports.count, 1);
    EXPECT_TRUE(reports.last.contains(QStringLiteral("is locked by another program"))) << reports.last.toStdString();
    EXPECT_EQ(store.problem(), reports.last);
    // Reads go on: a lock on writing does not keep readers of a WAL file out.
    EXPECT_EQ(store.latestChecks().size(), 3);
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

TEST(HistoryTrouble, SwitchesOffWhenTheFileIsLockedFromTheStart)
{
    HistoryDir dir;
    SqliteDb other(dir.file(), SqliteDb::Mode::ReadWriteCreate, 0);
    other.exec("PRAGMA locking_mode = EXCLUSIVE; CREATE TABLE held (x); BEGIN EXCLUSIVE;");
    Reports reports;
    {
        HistoryStore store(dir.file(), reports.handler(), TestHistoryOptions(100));
        EXPECT_FALSE(store.isRecording());
        EXPECT_FALSE(store.isReadable());
        store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
        EXPECT_FALSE(store.flush());
    }
    EXPECT_EQ(reports.count, 1);
    EXPECT_TRUE(reports.last.contains(QStringLiteral("is locked by another program"))) << reports.last.toStdString();
    other.exec("COMMIT");
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("History.db.damaged-*")}, QDir::Files), QStringList());
}

namespace {

// Records checks with large, changing texts until the store gives up, then checks that it reported
// once, that the file is sound and that every check it saw committed is there. Gives 0 on success.
int RecordUntilFull(const QString& file, const QString& expected)
{
    int reports = 0;
    int committed = 0;
    {
        HistoryStore store(
            file, [&](const QString& text) { reports += text.contains(expected) ? 1 : 100; }, TestHistoryOptions());
        for (int i = 0; i < 400 && store.isRecording(); ++i) {
            CheckFacts facts = FollowedFacts(i);
            facts.analysis.evidence = QByteArray(60000, char('a' + i % 26));
            store.record(Garden, Check(MinuteAfterStart(10 + i), lsFound, facts));
            if (store.flush())
                committed = i + 1;
        }
        store.record(Garden, Check(MinuteAfterStart(999), lsFound, FollowedFacts()));
        store.flush();
    }
    if (committed == 0 || committed == 400)
        return 1;
    if (reports != 1)
        return 2;
    if (IntegrityCheck(file) != "ok")
        return 3;
    HistoryStore store(file, {}, TestHistoryOptions());
    return store.history(Garden).size() == std::size_t(committed) ? 0 : 4;
}

const char* const FullFailures = "1: the disk never filled or nothing was committed, 2: not reported once as expected, "
                                 "3: the file is damaged, 4: committed checks are missing";

}  // namespace

// A file size limit stops a write as a full disk does, on any machine.
TEST(HistoryTrouble, SwitchesOffAtAFileSizeLimitAndKeepsWhatWasCommitted)
{
    HistoryDir dir;
    const int code = RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = 512 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        HistoryStore(dir.file(), {}, TestHistoryOptions());
        const int result = RecordUntilFull(dir.file(), QStringLiteral("No history is kept"));
        limit.rlim_cur = unlimited;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return result;
    });
    EXPECT_EQ(code, 0) << FullFailures;
}

// A small file system of its own, where the machine lets a test mount one.
TEST(HistoryTrouble, SaysTheDiskIsFullOnAFullFileSystem)
{
    HistoryDir dir;
    const QString mountPoint = dir.path() + QStringLiteral("/small");
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const int code = RunInChild([&] {
        const QByteArray target = QFile::encodeName(mountPoint);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", target.constData(), "tmpfs", 0, "size=384k") != 0)
            return 99;
        return RecordUntilFull(mountPoint + QStringLiteral("/History.db"), QStringLiteral("is full"));
    });
    if (code == 99)
        GTEST_SKIP() << "this machine does not let a test mount a file system";
    EXPECT_EQ(code, 0) << FullFailures;
}

// Earlier checks of a file the user may not write still come back; nothing is written to it.
TEST(HistoryTrouble, ReadsButNeverWritesAReadOnlyFile)
{
    HistoryDir dir;
    Fill(dir.file(), 3, 2);
    RawSql(dir.file(), "PRAGMA wal_checkpoint(TRUNCATE)");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file()).constData(), 0444), 0);
    const QByteArray before = FileBytes(dir.file());
    const int code = RunInChild(
        [&] {
            int reports = 0;
            HistoryStore store(
                dir.file(), [&](const QString&) { ++reports; }, TestHistoryOptions());
            store.record(Garden, Check(MinuteAfterStart(9), lsFound, FollowedFacts()));
            if (store.flush() || store.isRecording())
                return 1;
            if (store.latestChecks().size() != 3)
                return 2;
            return reports == 1 && store.problem().contains(QStringLiteral("is read-only")) ? 0 : 3;
        },
        true);
    EXPECT_EQ(code, 0) << "1: recorded, 2: earlier checks not read, 3: not reported once";
    EXPECT_EQ(FileBytes(dir.file()), before);
}

TEST(HistoryTrouble, SwitchesOffInAFolderItMayNotWrite)
{
    HistoryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    const int code = RunInChild(
        [&] {
            int reports = 0;
            HistoryStore store(
                dir.file(), [&](const QString&) { ++reports; }, TestHistoryOptions());
            store.record(Garden, Check(MinuteAfterStart(9), lsFound, FollowedFacts()));
            if (store.flush() || store.isRecording() || !store.latestChecks().isEmpty())
                return 1;
            return reports == 1 && store.problem().contains(dir.file()) ? 0 : 2;
        },
        true);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(code, 0) << "1: recorded or read, 2: not reported once";
    EXPECT_FALSE(QFile::exists(dir.file()));
}

// Values a person or a broken program put into the file: never shown as a verdict the program
// cannot have, never read without bound.
TEST(HistoryTrouble, HandEditedValuesComeBackAsSafeOnesOrNotAtAll)
{
    HistoryDir dir;
    Fill(dir.file(), 4, 3);
    RawSql(dir.file(),
           "UPDATE links SET verdict = 1 WHERE page_url = CAST('http://partner0.test/' AS BLOB);"
           "UPDATE links SET at = -5 WHERE page_url = CAST('http://partner1.test/' AS BLOB);"
           "UPDATE links SET details = x'01ffffffffffffffffffff7f', changes = 65535 "
           "  WHERE page_url = CAST('http://partner2.test/' AS BLOB);"
           "UPDATE checks SET kind = 99, http = 70000, extent = -3, elapsed_ms = -8, verdict = 'found' WHERE n = 1;"
           "UPDATE checks SET evidence = 'short', match_start = 999999, match_length = -4, "
           "  redirects = x'2d05ffff', anchor_text = 12 WHERE n = 2;");
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    const LatestChecks latest = store.latestChecks();
    ASSERT_EQ(latest.size(), 2);
    const HistoryEntry damaged = latest.value({1, "http://partner2.test/"});
    EXPECT_EQ(damaged.check.verdict, lsFound);
    EXPECT_EQ(damaged.changes, AllHistoryChanges);
    EXPECT_EQ(damaged.check.details.httpStatus(), 0);
    EXPECT_TRUE(damaged.check.details.finalUrl().isEmpty());

    const std::vector<HistoryEntry> entries = store.history({1, "http://partner3.test/"});
    ASSERT_EQ(entries.size(), 2u);  // the first check lost its verdict
    const CheckDetails& second = entries[1].check.details;
    EXPECT_EQ(second.evidence(), "short");
    EXPECT_LE(second.matchStart() + second.matchLength(), 5);
    EXPECT_EQ(second.anchorText(), "12");
    EXPECT_EQ(second.redirectCount(), 0);
    EXPECT_EQ(store.problem(), QString());

    // A check number no next check can follow is damage, not a reason to stop recording. (The
    // links row, which says which number is the newest, does not here: such a row looks it up.)
    RawSql(dir.file(),
           "UPDATE checks SET n = 9223372036854775807, bucket = 9223372036854775806 / 8 WHERE n = 3; "
           "UPDATE links SET newest = NULL;");
    store.record({1, "http://partner3.test/"}, Check(MinuteAfterStart(9), lsFound, FollowedFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_TRUE(store.problem().contains(QStringLiteral("It was renamed to"))) << store.problem().toStdString();
    EXPECT_EQ(store.history({1, "http://partner3.test/"}).size(), 1u);
}

// The links row says which check is a link's newest, and a hand edit may make it wrong: too low
// (the number is taken), too high (a gap), or no number at all. Each new check still goes after the
// newest, the texts it changed stay with the check they belong to, and nothing is set aside.
TEST(HistoryTrouble, AHandEditedNewestCheckNumberLosesNoCheck)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    std::vector<RecordedCheck> expected;
    const auto record = [&](int minute) {
        const RecordedCheck check = Check(MinuteAfterStart(minute), lsFound, FollowedFacts(minute));
        store.record(Garden, check);
        ASSERT_TRUE(store.flush());
        expected.insert(expected.begin(), check);
    };
    for (int minute = 0; minute < 3; ++minute)
        record(minute);
    const char* const edits[] = {"1", "2", "9", "-3", "0", "'three'", "NULL", "9223372036854775807"};
    int minute = 3;
    for (const char* edit : edits) {
        RawSql(dir.file(), QByteArray("UPDATE links SET newest = ") + edit);
        record(minute++);
        EXPECT_EQ(Checks(store.history(Garden)), expected) << "newest = " << edit;
    }
    EXPECT_EQ(store.problem(), QString());
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM checks"), QByteArray::number(qsizetype(expected.size())));
    EXPECT_EQ(RawValue(dir.file(), "SELECT newest = (SELECT max(n) FROM checks) FROM links"), "1");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

// A value larger than any the program writes is not read: the file is set aside as damaged. A
// second damaged file in one session switches the store off, or a disk that damages every file
// would fill the folder with them.
TEST(HistoryTrouble, AHugeValueIsTakenForDamageAndASecondDamageSwitchesOff)
{
    HistoryDir dir;
    Fill(dir.file(), 2, 2);
    RawSql(dir.file(), "UPDATE links SET details = zeroblob(9 * 1024 * 1024) WHERE id = 1");
    Reports reports;
    HistoryStore store(dir.file(), reports.handler(), TestHistoryOptions());
    EXPECT_TRUE(store.latestChecks().isEmpty());
    store.record(Garden, Check(MinuteAfterStart(9), lsFound, FollowedFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(reports.count, 1);
    EXPECT_TRUE(reports.last.contains(QStringLiteral("It was renamed to"))) << reports.last.toStdString();
    const LatestChecks latest = store.latestChecks();
    ASSERT_EQ(latest.size(), 1);
    EXPECT_NE(latest.find(Garden), nullptr);

    RawSql(dir.file(), "UPDATE links SET details = zeroblob(9 * 1024 * 1024)");
    EXPECT_TRUE(store.latestChecks().isEmpty());
    store.record(Garden, Check(MinuteAfterStart(10), lsFound, FollowedFacts()));
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(reports.count, 2);
    EXPECT_TRUE(reports.last.contains(QStringLiteral("is damaged"))) << reports.last.toStdString();
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("History.db.damaged-*")}, QDir::Files);
    EXPECT_EQ(aside.filter(QRegularExpression(QStringLiteral("-(wal|shm)$"))).size(), aside.size() - 1);
}
