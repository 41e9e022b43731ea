#include "model/HistoryCodec.h"
#include "model/HistoryStore.h"
#include "model/SqliteDb.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <thread>

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};
const LinkKey Travel{2, "http://travel.test/friends.html"};

std::vector<HistoryChanges> Changes(const std::vector<HistoryEntry>& entries)
{
    std::vector<HistoryChanges> changes;
    for (const HistoryEntry& entry : entries)
        changes.push_back(entry.changes);
    return changes;
}

// The text columns of a link's rows, oldest first, with NULL shown as "-".
std::vector<QByteArray> TextColumns(const QString& file, const LinkKey& key)
{
    SqliteDb db(file, SqliteDb::Mode::ReadWrite, 1000);
    SqliteStatement rows(db,
                         "SELECT quote(failure), quote(reason), quote(final_url), quote(redirects), "
                         "quote(content_type), quote(href), quote(rel), quote(anchor_text), quote(canonical), "
                         "quote(evidence) FROM checks JOIN links ON links.id = checks.link "
                         "WHERE site_id = ?1 AND page_url = ?2 ORDER BY n");
    rows.bind(1, key.siteId).bind(2, key.pageUrl);
    std::vector<QByteArray> result;
    while (rows.step()) {
        QByteArray line;
        for (int column = 0; column < 10; ++column)
            line += rows.blob(column) == "NULL" ? QByteArray("-") : QByteArray("T");
        result.push_back(line);
    }
    return result;
}

}  // namespace

TEST(HistoryStore, GivesBackEveryCheckNewestFirstAfterReopening)
{
    HistoryDir dir;
    CheckFacts nofollow = FollowedFacts(2);
    nofollow.analysis.kind = LinkKind::Nofollow;
    nofollow.analysis.rel = "nofollow sponsored";
    nofollow.redirects = {{"http://partner.test/links", 301}, {"https://partner.test/links", 302}};
    nofollow.reason = QStringLiteral("Weitergeleitet – ça va");
    const std::vector<RecordedCheck> garden = {
        Check(MinuteAfterStart(0), lsFound, FollowedFacts(0)),
        Check(MinuteAfterStart(1, 5), lsFound, FollowedFacts(0)),
        Check(MinuteAfterStart(2, 999), lsConnectionError, FailedFacts()),
        Check(MinuteAfterStart(3), lsConnectionError, FailedFacts("tls", QStringLiteral("Certificate has expired")),
              true),
        Check(MinuteAfterStart(4), lsFound, nofollow),
        Check(MinuteAfterStart(5), lsFound, FollowedFacts(1)),
    };
    const RecordedCheck travel = Check(MinuteAfterStart(1), lsNotFound, CheckFacts());
    {
        HistoryStore store(dir.file(), {}, TestHistoryOptions());
        for (const RecordedCheck& check : garden)
            store.record(Garden, check);
        store.record(Travel, travel);
        ASSERT_TRUE(store.flush());
    }

    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    EXPECT_TRUE(store.problem().isEmpty()) << store.problem().toStdString();
    const std::vector<HistoryEntry> entries = store.history(Garden);
    EXPECT_EQ(Checks(entries), std::vector<RecordedCheck>(garden.rbegin(), garden.rend()));
    // A page that was not fetched has no link kind, so coming back names no kind of its own.
    EXPECT_EQ(Changes(entries),
              (std::vector<HistoryChanges>{ChangeNowFollowed, ChangeBack, ChangeLost, ChangeLost, 0, 0}));
    EXPECT_EQ(store.history(Garden, 2).size(), 2u);
    EXPECT_TRUE(store.history(LinkKey{1, "http://www.partner.test/links"}).empty());

    const LatestChecks latest = store.latestChecks();
    ASSERT_EQ(latest.size(), 2);
    RecordedCheck newest = garden.back();
    newest.confirmation = false;
    EXPECT_EQ(latest.value(Garden).check, newest);
    EXPECT_EQ(latest.value(Garden).changes, ChangeNowFollowed);
    EXPECT_EQ(latest.value(Travel).check, travel);
}

// A check where nothing changed adds a row of numbers only; a changed text is kept in the row of the
// check it belongs to, and the newest check's texts are read from the link's own row.
TEST(HistoryStore, KeepsATextOnlyWhereItDiffersFromTheNextCheck)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    CheckFacts newAnchor = FollowedFacts(0);
    newAnchor.analysis.anchorText = "Gardening tips";
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts(0)));
    store.record(Garden, Check(MinuteAfterStart(1), lsFound, FollowedFacts(0)));
    store.record(Garden, Check(MinuteAfterStart(2), lsFound, FollowedFacts(0)));
    store.record(Garden, Check(MinuteAfterStart(3), lsFound, FollowedFacts(1)));
    store.record(Garden, Check(MinuteAfterStart(4), lsFound, newAnchor));
    store.record(Garden, Check(MinuteAfterStart(5), lsConnectionError, FailedFacts()));
    ASSERT_TRUE(store.flush());
    // Columns: failure, reason, final URL, redirects, content type, href, rel, anchor, canonical, evidence.
    EXPECT_EQ(TextColumns(dir.file(), Garden),
              (std::vector<QByteArray>{
                  "----------",
                  "----------",
                  "---------T",
                  "-------T-T",
                  "TT-TTT-TTT",
                  "----------",
              }));
    const std::vector<HistoryEntry> entries = store.history(Garden);
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[1].check.details, CheckDetails(newAnchor));
    EXPECT_EQ(entries[2].check.details, CheckDetails(FollowedFacts(1)));
    EXPECT_EQ(entries[5].check.details, CheckDetails(FollowedFacts(0)));
    EXPECT_EQ(entries[1].changes, ChangeAnchorText);
}

TEST(HistoryStore, AConfirmationIsMeasuredAgainstTheCheckBeforeTheOneItConfirms)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(Garden, Check(MinuteAfterStart(1), lsNotFound, CheckFacts()));
    store.record(Garden, Check(MinuteAfterStart(1, 500), lsNotFound, CheckFacts(), true));
    // A false alarm: the second fetch finds the link again, so nothing changed.
    store.record(Travel, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(Travel, Check(MinuteAfterStart(1), lsConnectionError, FailedFacts()));
    store.record(Travel, Check(MinuteAfterStart(1, 500), lsFound, FollowedFacts(), true));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(Changes(store.history(Garden)), (std::vector<HistoryChanges>{ChangeLost, ChangeLost, 0}));
    EXPECT_EQ(Changes(store.history(Travel)), (std::vector<HistoryChanges>{0, ChangeLost, 0}));
    EXPECT_TRUE(store.history(Travel).front().check.confirmation);
    const LatestChecks latest = store.latestChecks();
    EXPECT_EQ(latest.value(Garden).changes, ChangeLost);
    EXPECT_EQ(latest.value(Travel).changes, 0);
}

TEST(HistoryStore, ForgetsAndRenamesALinksHistory)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    const LinkKey moved{1, "https://www.partner.test/links/"};
    const LinkKey other{3, "http://other.test/"};
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(Garden, Check(MinuteAfterStart(1), lsNotFound, CheckFacts()));
    store.record(Travel, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(other, Check(MinuteAfterStart(0), lsNotFound, CheckFacts()));
    store.rename(Garden, moved);
    store.forget(Travel);
    ASSERT_TRUE(store.flush());
    EXPECT_TRUE(store.history(Garden).empty());
    EXPECT_EQ(store.history(moved).size(), 2u);
    EXPECT_TRUE(store.history(Travel).empty());
    EXPECT_EQ(store.latestChecks().size(), 2);

    // Onto a key that has a history of its own: that one stays, the moved one goes.
    store.rename(moved, other);
    store.record(moved, Check(MinuteAfterStart(2), lsFound, FollowedFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.history(other).size(), 1u);
    EXPECT_EQ(store.history(moved).size(), 1u);
    EXPECT_EQ(store.summary(moved).firstChecked, MinuteAfterStart(2));
}

TEST(HistoryStore, SummarySaysSinceWhenALinkIsFoundOrLost)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    EXPECT_EQ(store.summary(Garden), HistorySummary());
    const LinkStatus verdicts[] = {lsNotFound, lsFound, lsFound, lsConnectionError, lsNotFound};
    for (int i = 0; i < 5; ++i)
        store.record(Garden, Check(MinuteAfterStart(i), verdicts[i], CheckFacts()));
    store.record(Travel, Check(MinuteAfterStart(0), lsNotFound, CheckFacts()));
    store.record(Travel, Check(MinuteAfterStart(1), lsConnectionError, CheckFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), 0, MinuteAfterStart(3), 5}));
    // Never found: nothing was lost.
    EXPECT_EQ(store.summary(Travel), (HistorySummary{MinuteAfterStart(0), 0, 0, 2}));

    store.record(Garden, Check(MinuteAfterStart(5), lsFound, CheckFacts()));
    store.record(Garden, Check(MinuteAfterStart(6), lsFound, CheckFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), MinuteAfterStart(5), 0, 7}));
}

// Checks are kept eight to a bucket: a link checked many times reads back whole and in order,
// a confirmation finds the check before the one it confirms in the bucket before, texts move into
// a check of the bucket before, and forgetting a link takes its checks from every bucket.
TEST(HistoryStore, ALongHistoryReadsBackWholeAcrossBuckets)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    std::vector<RecordedCheck> expected;
    const auto record = [&](const RecordedCheck& check) {
        store.record(Garden, check);
        store.record(Travel, Check(check.at, lsNotFound, CheckFacts()));
        expected.insert(expected.begin(), check);
    };
    for (int minute = 0; minute < 8; ++minute)
        record(Check(MinuteAfterStart(minute), lsFound, FollowedFacts(minute / 3)));
    // Checks 9 and 10: a loss, confirmed.
    record(Check(MinuteAfterStart(8), lsNotFound, CheckFacts()));
    record(Check(MinuteAfterStart(8, 500), lsNotFound, CheckFacts(), true));
    for (int minute = 9; minute < 27; ++minute)
        record(Check(MinuteAfterStart(minute), lsFound, FollowedFacts(minute / 5)));
    ASSERT_TRUE(store.flush());

    const std::vector<HistoryEntry> entries = store.history(Garden);
    EXPECT_EQ(Checks(entries), expected);
    ASSERT_EQ(entries.size(), 28u);
    EXPECT_EQ(entries[18].changes, ChangeLost);
    EXPECT_EQ(entries[19].changes, ChangeLost);
    EXPECT_EQ(store.history(Garden, 11).size(), 11u);
    EXPECT_EQ(store.history(Travel).size(), 28u);
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), MinuteAfterStart(9), 0, 28}));
    EXPECT_EQ(RawValue(dir.file(), "SELECT group_concat(bucket) FROM (SELECT DISTINCT bucket FROM checks)"), "0,1,2,3");

    store.forget(Garden);
    ASSERT_TRUE(store.flush());
    EXPECT_TRUE(store.history(Garden).empty());
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM checks"), "28");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

// The window and quorvane-check record into one file at the same time.
TEST(HistoryStore, TwoStoresOnOneFileRecordAtTheSameTime)
{
    HistoryDir dir;
    HistoryStore window(dir.file(), {}, TestHistoryOptions(5000));
    HistoryStore command(dir.file(), {}, TestHistoryOptions(5000));
    std::thread other([&] {
        for (int i = 0; i < 300; ++i)
            command.record(Travel, Check(MinuteAfterStart(i), lsFound, FollowedFacts(i % 7)));
        command.flush();
    });
    for (int i = 0; i < 300; ++i)
        window.record(Garden, Check(MinuteAfterStart(i), lsNotFound, CheckFacts()));
    window.flush();
    other.join();
    EXPECT_EQ(command.problem(), QString());
    EXPECT_EQ(window.problem(), QString());
    EXPECT_EQ(window.history(Travel, 1000).size(), 300u);
    EXPECT_EQ(command.history(Garden, 1000).size(), 300u);
    EXPECT_EQ(window.history(Travel, 1000).back().check.details, CheckDetails(FollowedFacts(0)));
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

// Another connection holds the file's write lock; record() still returns at once (this thread holds
// the lock, so a record() that waited for it would never come back), and the checks are committed
// once the lock is gone.
TEST(HistoryStore, RecordNeverWaitsForTheDisk)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions(60000));
    SqliteDb other(dir.file(), SqliteDb::Mode::ReadWrite, 0);
    other.exec("BEGIN EXCLUSIVE");
    for (int i = 0; i < 100; ++i)
        store.record(Garden, Check(MinuteAfterStart(i), lsFound, FollowedFacts(i)));
    other.exec("ROLLBACK");
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.history(Garden).size(), 100u);
}

// Nobody asks for a commit here: a few checks trickling in go to disk after the delay, and a burst
// larger than one batch goes to disk whole, without waiting for more checks to come.
TEST(HistoryStore, CommitsWhatIsQueuedWithoutBeingAsked)
{
    HistoryDir dir;
    HistoryOptions options = TestHistoryOptions();
    options.commitDelayMs = 50;
    HistoryStore store(dir.file(), {}, options);
    const auto committedSoon = [&](const std::function<bool()>& done) {
        for (int wait = 0; wait < 1000 && !done(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    };
    for (int i = 0; i < 3; ++i) {
        store.record(Garden, Check(MinuteAfterStart(i), lsFound, FollowedFacts(i)));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(committedSoon([&] { return store.history(Garden).size() == 3; }));

    constexpr int Burst = 2500;
    for (int link = 0; link < Burst; ++link)
        store.record(SampleLinkKey(link), TypicalCheck(link, 1));
    EXPECT_TRUE(committedSoon([&] { return store.latestChecks().size() == Burst + 1; }));
}

TEST(HistoryStore, LeavesOutWhatItCannotKeepFaithfully)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    const LinkKey huge{1, QByteArray(MaxStoredText + 1, 'a')};
    store.record(Garden, Check(MinuteAfterStart(0), lsChecking, CheckFacts()));
    store.record(Garden, Check(MinuteAfterStart(0), lsUnchecked, CheckFacts()));
    store.record(Garden, Check(0, lsFound, CheckFacts()));
    store.record(Garden, Check(std::numeric_limits<double>::quiet_NaN(), lsFound, CheckFacts()));
    store.record(huge, Check(MinuteAfterStart(0), lsFound, CheckFacts()));
    CheckFacts long_ = FollowedFacts();
    long_.analysis.evidence = QByteArray(200000, 'e');
    store.record(Travel, Check(MinuteAfterStart(0), lsFound, long_));
    ASSERT_TRUE(store.flush());
    EXPECT_TRUE(store.history(Garden).empty());
    EXPECT_TRUE(store.history(huge).empty());
    EXPECT_EQ(store.history(Travel).at(0).check.details.evidence().size(), MaxStoredText);
    EXPECT_EQ(store.problem(), QString());
}
