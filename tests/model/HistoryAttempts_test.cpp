#include "model/HistoryCodec.h"
#include "model/HistoryRows.h"
#include "model/HistorySchema.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};
const LinkKey Travel{2, "http://travel.test/friends.html"};

// A page that answered with an error, with a redirect, a reason beyond ASCII and a little evidence.
CheckFacts UnavailableFacts()
{
    CheckFacts facts;
    facts.httpStatus = 503;
    facts.failure = "http-status";
    facts.reason = QStringLiteral("Service unavailable – später");
    facts.finalUrl = "https://www.partner.test/links/";
    facts.redirects = {{"http://www.partner.test/links/", 301}};
    facts.elapsedMs = 1500;
    facts.bytesReceived = 300;
    facts.contentType = "text/html";
    facts.blocked = true;
    facts.analysis.evidence = "<p>busy</p>";
    facts.analysis.matchStart = 3;
    facts.analysis.matchLength = 4;
    return facts;
}

// How such a check's details were stored before tries were kept.
const QByteArray UnavailableStored = QByteArray::fromHex(
    "01f703dc0bac0200000103040b687474702d7374617475731f5365727669636520756e617661696c61626c6520e28093"
    "207370c3a47465721f68747470733a2f2f7777772e706172746e65722e746573742f6c696e6b732f09746578742f6874"
    "6d6c000000000b3c703e627573793c2f703e21ad021e687474703a2f2f7777772e706172746e65722e746573742f6c69"
    "6e6b732f");

// A fetch that timed out twice, the second time after a pause.
CheckFacts TimedOutTwice()
{
    CheckFacts facts = FailedFacts("connect-timeout", QStringLiteral("No answer within 10 s – gave up"));
    facts.attempts = {
        {"connect-timeout", 0, QStringLiteral("No answer within 10 s"), 0, 10000},
        {"connect-timeout", 0, QStringLiteral("No answer within 10 s – gave up"), 2000, 10001},
    };
    return facts;
}

// A page that was found at the second try.
CheckFacts FoundAtSecondTry()
{
    CheckFacts facts = FollowedFacts();
    facts.attempts = {{"connect", 0, QStringLiteral("Connection refused"), 0, 2}, {"", 200, {}, 2000, 180}};
    return facts;
}

CheckFacts WithoutAttempts(CheckFacts facts)
{
    facts.attempts.clear();
    return facts;
}

// Whether each of a link's rows holds tries, oldest first: "T" or "-".
QByteArray AttemptColumn(const QString& file, const LinkKey& key)
{
    SqliteDb db(file, SqliteDb::Mode::ReadWrite, 1000);
    SqliteStatement rows(db,
                         "SELECT attempts IS NOT NULL FROM checks JOIN links ON links.id = checks.link "
                         "WHERE site_id = ?1 AND page_url = ?2 ORDER BY n");
    rows.bind(1, key.siteId).bind(2, key.pageUrl);
    QByteArray column;
    while (rows.step())
        column += rows.integer(0) ? 'T' : '-';
    return column;
}

// A history file as the first version of the program wrote it, with two checks of Garden: a found
// one, then UnavailableFacts, whose texts are in the link's row.
void WriteFirstVersionFile(const QString& file)
{
    RawSql(file, HistorySchemaSteps().front().sql);
    RawSql(
        file,
        QByteArray("PRAGMA user_version = 1; PRAGMA application_id = " + QByteArray::number(HistoryApplicationId) + ";")
            .constData());
    SqliteDb db(file, SqliteDb::Mode::ReadWrite, 1000);
    const qint64 first = *DayCountToMs(MinuteAfterStart(0));
    const qint64 second = *DayCountToMs(MinuteAfterStart(1));
    SqliteStatement link(db,
                         "INSERT INTO links (site_id, page_url, at, verdict, changes, details) "
                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    link.bind(1, Garden.siteId).bind(2, Garden.pageUrl).bind(3, second).bind(4, lsConnectionError);
    link.bind(5, ChangeLost).bind(6, UnavailableStored).run();
    const qint64 id = db.lastInsertId();

    SqliteStatement check(db,
                          "INSERT INTO checks (link, n, at, verdict, changes, http, kind, extent, flags, elapsed_ms, "
                          "bytes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    const CheckFacts found = FollowedFacts();
    check.bind(1, id).bind(2, 1).bind(3, first).bind(4, lsFound).bind(5, 0).bind(6, 200);
    check.bind(7, qint64(LinkKind::Followed)).bind(8, qint64(AnalysisExtent::Whole)).bind(9, 0);
    check.bind(10, found.elapsedMs).bind(11, found.bytesReceived).run();
    check.bind(1, id).bind(2, 2).bind(3, second).bind(4, lsConnectionError).bind(5, ChangeLost).bind(6, 503);
    check.bind(7, 0).bind(8, 0).bind(9, FlagBlocked).bind(10, 1500).bind(11, 300).run();

    // The older check keeps every text in its own row, as it differs from the newer one in all.
    SqliteStatement texts(db,
                          "UPDATE checks SET failure = ?2, reason = ?3, final_url = ?4, redirects = ?5, "
                          "content_type = ?6, href = ?7, rel = ?8, anchor_text = ?9, canonical = ?10, "
                          "evidence = ?11, match_start = ?12, match_length = ?13 WHERE link = ?1 AND n = 1");
    const CheckTexts values = CheckTexts::of(found);
    texts.bind(1, id);
    for (int field = 0; field < CheckTexts::Count; ++field)
        texts.bind(2 + field, values.values[field]);
    texts.bind(12, values.matchStart).bind(13, values.matchLength).run();
}

}  // namespace

TEST(HistoryAttempts, ValuesWrittenBeforeTriesWereKeptReadAsBefore)
{
    EXPECT_EQ(DecodeDetails(UnavailableStored), UnavailableFacts());
    EXPECT_EQ(DecodeCheckDetails(UnavailableStored), CheckDetails(UnavailableFacts()));
    // The details of a check one try settled are encoded exactly as they always were. (Its row in the
    // checks table holds one byte more: SQLite notes the NULL of the tries in the row header.)
    EXPECT_EQ(EncodeDetails(CheckDetails(UnavailableFacts())), UnavailableStored);
    EXPECT_EQ(EncodeAttempts({}), QByteArray());
}

// The first version of the file is brought up to date on opening, keeps every check as it was, and
// from then on keeps the tries.
TEST(HistoryAttempts, AFileOfTheFirstVersionKeepsItsChecksAndGainsTries)
{
    HistoryDir dir;
    WriteFirstVersionFile(dir.file());
    const std::vector<RecordedCheck> before = {
        Check(MinuteAfterStart(1), lsConnectionError, UnavailableFacts()),
        Check(MinuteAfterStart(0), lsFound, FollowedFacts()),
    };
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        EXPECT_EQ(store.problem(), QString());
        EXPECT_TRUE(store.isRecording());
        EXPECT_EQ(Checks(store.history(Garden)), before);
        EXPECT_EQ(store.latestChecks().value(Garden).check, before.front());
        EXPECT_EQ(store.latestChecks().value(Garden).changes, ChangeLost);
        store.record(Garden, Check(MinuteAfterStart(2), lsConnectionError, TimedOutTwice()));
        ASSERT_TRUE(store.flush());
    }
    EXPECT_EQ(RawValue(dir.file(), "PRAGMA user_version"), QByteArray::number(HistorySchemaSteps().back().toVersion));
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
    EXPECT_EQ(AttemptColumn(dir.file(), Garden), "--T");

    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    const std::vector<HistoryEntry> entries = store.history(Garden);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].check.details, CheckDetails(TimedOutTwice()));
    EXPECT_EQ(Checks({entries[1], entries[2]}), before);
    EXPECT_EQ(store.latestChecks().value(Garden).check.details.attemptCount(), 2);
}

// The tries are each check's own: a check one try settled stores none, and one that repeats the
// tries of the check before it still keeps its own, whichever way the file is read.
TEST(HistoryAttempts, EveryCheckKeepsItsOwnTries)
{
    HistoryDir dir;
    const std::vector<RecordedCheck> garden = {
        Check(MinuteAfterStart(0), lsFound, FollowedFacts()),
        Check(MinuteAfterStart(1), lsConnectionError, TimedOutTwice()),
        Check(MinuteAfterStart(2), lsConnectionError, TimedOutTwice()),
        Check(MinuteAfterStart(2, 500), lsFound, FoundAtSecondTry(), true),
        Check(MinuteAfterStart(3), lsFound, FollowedFacts()),
    };
    const RecordedCheck travel = Check(MinuteAfterStart(0), lsFound, FoundAtSecondTry());
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        for (const RecordedCheck& check : garden)
            store.record(Garden, check);
        store.record(Travel, travel);
        ASSERT_TRUE(store.flush());
    }
    EXPECT_EQ(AttemptColumn(dir.file(), Garden), "-TTT-");

    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    EXPECT_EQ(Checks(store.history(Garden)), std::vector<RecordedCheck>(garden.rbegin(), garden.rend()));
    const LatestChecks latest = store.latestChecks();
    EXPECT_EQ(latest.value(Garden).check.details, CheckDetails(FollowedFacts()));
    EXPECT_EQ(latest.value(Travel).check, travel);
}

// The file may have been edited by hand or damaged: tries that cannot be read whole are left out,
// and every other field of the check stays.
TEST(HistoryAttempts, TriesThatCannotBeReadWholeAreLeftOut)
{
    const QList<AttemptStep> tries = TimedOutTwice().attempts;
    const QByteArray valid = EncodeAttempts(tries);
    EXPECT_EQ(DecodeAttempts(valid), tries);
    for (qsizetype size = 0; size < valid.size(); ++size)
        EXPECT_EQ(DecodeAttempts(valid.first(size)), QList<AttemptStep>()) << size;
    QByteArray moreThanThere = valid;
    moreThanThere[0] = 3;
    QByteArray tooMany = valid;
    tooMany[0] = char(MaxStoredAttempts + 1);
    for (const QByteArray& hostile : {valid + 'x', moreThanThere, tooMany, QByteArray(10, char(0xff)),
                                      QByteArray::fromHex("ffffffffffffffffff7f00")})
        EXPECT_EQ(DecodeAttempts(hostile), QList<AttemptStep>()) << hostile.toHex().constData();

    // Statuses no response carries and negative-looking times are made harmless.
    const QList<AttemptStep> odd = DecodeAttempts(QByteArray::fromHex("01ffff03ffffffffffffffffff01000000"));
    ASSERT_EQ(odd.size(), 1);
    EXPECT_EQ(odd[0].status, 0);
    EXPECT_GE(odd[0].pauseMs, 0);
    EXPECT_GE(odd[0].elapsedMs, 0);

    const QByteArray details = EncodeDetails(CheckDetails(TimedOutTwice()));
    EXPECT_EQ(DecodeDetails(details), TimedOutTwice());
    EXPECT_EQ(DecodeDetails(details.chopped(1)), WithoutAttempts(TimedOutTwice()));
    EXPECT_EQ(DecodeCheckDetails(details.chopped(1)), CheckDetails(WithoutAttempts(TimedOutTwice())));
    EXPECT_EQ(DecodeDetails(EncodeDetails(CheckDetails(WithoutAttempts(TimedOutTwice()))) + "\x02\x05\x00"),
              WithoutAttempts(TimedOutTwice()));

    HistoryDir dir;
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        store.record(Garden, Check(MinuteAfterStart(0), lsConnectionError, TimedOutTwice()));
        store.record(Garden, Check(MinuteAfterStart(1), lsConnectionError, TimedOutTwice()));
        ASSERT_TRUE(store.flush());
    }
    RawSql(dir.file(),
           "UPDATE checks SET attempts = CASE n WHEN 1 THEN X'05' ELSE X'' END;"
           "UPDATE links SET details = substr(details, 1, length(details) - 1);");
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    const std::vector<HistoryEntry> entries = store.history(Garden);
    ASSERT_EQ(entries.size(), 2u);
    for (const HistoryEntry& entry : entries)
        EXPECT_EQ(entry.check.details, CheckDetails(WithoutAttempts(TimedOutTwice())));
    EXPECT_EQ(store.latestChecks().value(Garden).check.details, CheckDetails(WithoutAttempts(TimedOutTwice())));
}
