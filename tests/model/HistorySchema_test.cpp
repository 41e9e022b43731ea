#include "model/HistorySchema.h"
#include "model/HistoryStore.h"
#include "support/HistorySamples.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};
const LinkKey Travel{2, "http://travel.test/friends.html"};

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

HistoryOptions WithSteps(std::span<const SchemaStep> steps)
{
    HistoryOptions options = TestHistoryOptions();
    options.schema = steps;
    return options;
}

void RecordTwo(const QString& file, const HistoryOptions& options = TestHistoryOptions())
{
    HistoryStore store(file, {}, options);
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(Garden, Check(MinuteAfterStart(1), lsNotFound, CheckFacts()));
    ASSERT_TRUE(store.flush());
}

// The names of the files beside the history whose name starts with `prefix`.
QStringList Beside(const HistoryDir& dir, const QString& prefix)
{
    return QDir(dir.path()).entryList({prefix + u'*'}, QDir::Files, QDir::Name);
}

}  // namespace

// A later version that adds a column and an index: a file of the first version is brought to it
// once, keeping its history, and keeps recording.
TEST(HistorySchema, BringsAFileOfAnEarlierVersionUpToDateOnce)
{
    HistoryDir dir;
    RecordTwo(dir.file());
    const std::span<const SchemaStep> first = HistorySchemaSteps();
    std::vector<SchemaStep> steps(first.begin(), first.end());
    const int next = first.back().toVersion + 1;
    steps.push_back({next, "ALTER TABLE links ADD COLUMN note BLOB; CREATE INDEX checks_by_time ON checks (at);"});
    for (int open = 0; open < 2; ++open) {
        HistoryStore store(dir.file(), {}, WithSteps(steps));
        EXPECT_EQ(store.problem(), QString());
        store.record(Garden, Check(MinuteAfterStart(2 + open), lsFound, FollowedFacts()));
        ASSERT_TRUE(store.flush());
        EXPECT_EQ(store.history(Garden).size(), 3u + open);
    }
    EXPECT_EQ(RawValue(dir.file(), "PRAGMA user_version"), QByteArray::number(next));
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM pragma_table_info('links') WHERE name = 'note'"), "1");
}

// A file of the second version does not say which check of a link is the newest: each link looks
// it up once, and its checks go on in order, the texts each one changed kept where they belong.
TEST(HistorySchema, AFileOfTheSecondVersionGoesOnNumberingEachLinksChecks)
{
    HistoryDir dir;
    RecordTwo(dir.file());
    std::vector<RecordedCheck> expected = Checks(HistoryStore(dir.file(), {}, TestHistoryOptions()).history(Garden));
    ASSERT_EQ(expected.size(), 2u);
    RawSql(dir.file(), "ALTER TABLE links DROP COLUMN newest; PRAGMA user_version = 2;");
    const RecordedCheck third = Check(MinuteAfterStart(2), lsFound, FollowedFacts(7));
    const RecordedCheck fourth = Check(MinuteAfterStart(3), lsFound, FollowedFacts(8));
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        EXPECT_EQ(store.problem(), QString());
        EXPECT_EQ(RawValue(dir.file(), "SELECT quote(newest) FROM links"), "NULL");
        store.record(Garden, third);
        store.record(Garden, fourth);
        ASSERT_TRUE(store.flush());
        expected.insert(expected.begin(), {fourth, third});
        EXPECT_EQ(Checks(store.history(Garden)), expected);
    }
    EXPECT_EQ(RawValue(dir.file(), "SELECT group_concat(n) FROM (SELECT n FROM checks ORDER BY n)"), "1,2,3,4");
    EXPECT_EQ(RawValue(dir.file(), "SELECT newest FROM links"), "4");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

// A file of the third version clusters checks by link alone: opening it moves every check into its
// bucket, and the history reads as it did and goes on.
TEST(HistorySchema, AFileOfTheThirdVersionKeepsEveryCheck)
{
    HistoryDir dir;
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        for (int minute = 0; minute < 19; ++minute) {
            store.record(Garden, Check(MinuteAfterStart(minute), lsFound, FollowedFacts(minute / 4)));
            if (minute % 6 == 0)
                store.record(Travel, Check(MinuteAfterStart(minute), lsConnectionError, FailedFacts()));
        }
        ASSERT_TRUE(store.flush());
    }
    const auto histories = [&] {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        EXPECT_EQ(store.problem(), QString());
        return std::pair(Checks(store.history(Garden)), Checks(store.history(Travel)));
    };
    const auto before = histories();
    ASSERT_EQ(before.first.size(), 19u);
    RawSql(dir.file(),
           "CREATE TABLE third (link INTEGER NOT NULL, n INTEGER NOT NULL, at INTEGER NOT NULL, "
           "verdict INTEGER NOT NULL, changes INTEGER NOT NULL, http INTEGER NOT NULL, kind INTEGER NOT NULL, "
           "extent INTEGER NOT NULL, flags INTEGER NOT NULL, elapsed_ms INTEGER NOT NULL, bytes INTEGER NOT NULL, "
           "failure BLOB, reason BLOB, final_url BLOB, redirects BLOB, content_type BLOB, href BLOB, rel BLOB, "
           "anchor_text BLOB, canonical BLOB, evidence BLOB, match_start INTEGER, match_length INTEGER, "
           "attempts BLOB, PRIMARY KEY (link, n)) WITHOUT ROWID;"
           "INSERT INTO third SELECT link, n, at, verdict, changes, http, kind, extent, flags, elapsed_ms, bytes, "
           "failure, reason, final_url, redirects, content_type, href, rel, anchor_text, canonical, evidence, "
           "match_start, match_length, attempts FROM checks;"
           "DROP TABLE checks; ALTER TABLE third RENAME TO checks; PRAGMA user_version = 3;");

    EXPECT_EQ(histories(), before);
    EXPECT_EQ(RawValue(dir.file(), "PRAGMA user_version"), "4");
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM checks WHERE bucket = (n - 1) / 8"), "23");
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        store.record(Garden, Check(MinuteAfterStart(19), lsNotFound, CheckFacts()));
        ASSERT_TRUE(store.flush());
        ASSERT_EQ(store.history(Garden).size(), 20u);
        EXPECT_EQ(Checks(store.history(Garden)).back(), before.first.back());
    }
    EXPECT_EQ(RawValue(dir.file(), "SELECT bucket FROM checks ORDER BY n DESC LIMIT 1"), "2");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

TEST(HistorySchema, AStepThatFailsLeavesTheFileAtItsVersion)
{
    HistoryDir dir;
    RecordTwo(dir.file());
    const std::span<const SchemaStep> first = HistorySchemaSteps();
    std::vector<SchemaStep> steps(first.begin(), first.end());
    const int current = first.back().toVersion;
    steps.push_back({current + 1, "ALTER TABLE links ADD COLUMN note BLOB; ALTER TABLE nowhere ADD COLUMN x;"});
    {
        HistoryStore store(dir.file(), {}, WithSteps(steps));
        EXPECT_FALSE(store.isRecording());
        EXPECT_TRUE(store.problem().contains(QStringLiteral("cannot be used"))) << store.problem().toStdString();
    }
    EXPECT_EQ(RawValue(dir.file(), "PRAGMA user_version"), QByteArray::number(current));
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM pragma_table_info('links') WHERE name = 'note'"), "0");
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    EXPECT_EQ(store.history(Garden).size(), 2u);
}

// A newer program may store what this one does not know; this one must not touch it.
TEST(HistorySchema, LeavesAFileOfANewerVersionExactlyAsItIs)
{
    HistoryDir dir;
    RecordTwo(dir.file());
    RawSql(dir.file(), "PRAGMA user_version = 7; PRAGMA wal_checkpoint(TRUNCATE);");
    const QByteArray before = FileBytes(dir.file());
    int reports = 0;
    {
        HistoryStore store(
            dir.file(), [&](const QString&) { ++reports; }, TestHistoryOptions());
        EXPECT_FALSE(store.isRecording());
        EXPECT_FALSE(store.isReadable());
        EXPECT_TRUE(store.problem().contains(QStringLiteral("newer version of Quorvane")));
        store.record(Garden, Check(MinuteAfterStart(5), lsFound, FollowedFacts()));
        store.forget(Garden);
        EXPECT_FALSE(store.flush());
        EXPECT_TRUE(store.latestChecks().isEmpty());
        EXPECT_TRUE(store.history(Garden).empty());
    }
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(FileBytes(dir.file()), before);
    EXPECT_EQ(Beside(dir, QStringLiteral("History.db.damaged")), QStringList());
}

// Another program's database, or one of ours whose tables were changed by hand, is kept aside and
// a new history is started.
TEST(HistorySchema, SetsAsideADatabaseThatIsNotAHistoryOfOurs)
{
    HistoryDir dir;
    RawSql(dir.file(), "CREATE TABLE contacts (name TEXT); INSERT INTO contacts VALUES ('Anna');");
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        EXPECT_TRUE(store.isRecording());
        EXPECT_TRUE(store.problem().contains(QStringLiteral("It was renamed to"))) << store.problem().toStdString();
    }
    QStringList aside = Beside(dir, QStringLiteral("History.db.damaged-"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(RawValue(dir.path() + u'/' + aside[0], "SELECT name FROM contacts"), "Anna");

    RecordTwo(dir.file());
    RawSql(dir.file(), "ALTER TABLE links DROP COLUMN changes");
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        EXPECT_TRUE(store.problem().contains(QStringLiteral("It was renamed to")));
        EXPECT_TRUE(store.history(Garden).empty());
    }
    EXPECT_EQ(Beside(dir, QStringLiteral("History.db.damaged-")).size(), 2);
}
