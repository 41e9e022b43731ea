#include "model/HistoryStore.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};

// A found link fails, and the fetch made a few seconds later to confirm the loss says found or not.
void RecordFailureThen(HistoryStore& store, int minute, LinkStatus confirmed)
{
    store.record(Garden, Check(MinuteAfterStart(minute), lsConnectionError, FailedFacts()));
    const CheckFacts facts = confirmed == lsFound ? FollowedFacts() : CheckFacts();
    store.record(Garden, Check(MinuteAfterStart(minute, 5000), confirmed, facts, true));
}

}  // namespace

TEST(HistoryReader, AFailureTheConfirmingFetchFoundWrongKeepsTheLinkFoundSinceBefore)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.record(Garden, Check(MinuteAfterStart(10), lsFound, FollowedFacts()));
    RecordFailureThen(store, 20, lsFound);
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), MinuteAfterStart(0), 0, 4}));

    // Still found at the next check; a real loss later on ends the run, a disproved one after it does not.
    store.record(Garden, Check(MinuteAfterStart(30), lsFound, FollowedFacts()));
    RecordFailureThen(store, 40, lsNotFound);
    store.record(Garden, Check(MinuteAfterStart(50), lsFound, FollowedFacts()));
    RecordFailureThen(store, 60, lsFound);
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), MinuteAfterStart(50), 0, 10}));

    // Not found before: the run starts with the confirming fetch, not with the failure it disproved.
    const LinkKey travel{2, "http://travel.test/friends.html"};
    store.record(travel, Check(MinuteAfterStart(0), lsNotFound, CheckFacts()));
    store.record(travel, Check(MinuteAfterStart(10), lsConnectionError, FailedFacts()));
    store.record(travel, Check(MinuteAfterStart(10, 5000), lsFound, FollowedFacts(), true));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(travel), (HistorySummary{MinuteAfterStart(0), MinuteAfterStart(10, 5000), 0, 3}));
}

TEST(HistoryReader, AConfirmedLossCountsFromTheFirstFailingFetch)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    store.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    RecordFailureThen(store, 10, lsFound);
    RecordFailureThen(store, 20, lsNotFound);
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), 0, MinuteAfterStart(20), 5}));

    store.record(Garden, Check(MinuteAfterStart(30), lsNotFound, CheckFacts()));
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(store.summary(Garden), (HistorySummary{MinuteAfterStart(0), 0, MinuteAfterStart(20), 6}));
}

// A page address edited into text by hand no longer matches the address the program looks up, which
// is bytes: the link starts a history of its own again instead of reading the stale row every time.
TEST(HistoryReader, ALinkRowWhoseAddressWasEditedIntoTextIsPassedOver)
{
    HistoryDir dir;
    auto store = std::make_unique<HistoryStore>(dir.file(), nullptr, TestHistoryOptions());
    store->record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts()));
    store.reset();
    RawSql(dir.file(), "UPDATE links SET page_url = 'http://www.partner.test/links/', verdict = 3 WHERE id = 1");

    store = std::make_unique<HistoryStore>(dir.file(), nullptr, TestHistoryOptions());
    EXPECT_TRUE(store->latestChecks().isEmpty());
    EXPECT_TRUE(store->history(Garden).empty());
    EXPECT_EQ(store->summary(Garden), HistorySummary());

    for (int minute = 1; minute <= 3; ++minute) {
        const LatestChecks latest = store->latestChecks();
        store->record(Garden, Check(MinuteAfterStart(minute), lsFound, FollowedFacts()), latest.previousCheck(Garden));
        ASSERT_TRUE(store->flush());
    }
    const LatestChecks latest = store->latestChecks();
    ASSERT_EQ(latest.size(), 1);
    EXPECT_EQ(latest.value(Garden).check.at, MinuteAfterStart(3));
    EXPECT_EQ(latest.value(Garden).changes, 0);
    EXPECT_EQ(Checks(store->history(Garden)).size(), 3u);
    EXPECT_EQ(store->summary(Garden), (HistorySummary{MinuteAfterStart(1), MinuteAfterStart(1), 0, 3}));
    // The text row is left as the hand edit made it.
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM links"), "2");
    EXPECT_EQ(RawValue(dir.file(), "SELECT verdict FROM links WHERE typeof(page_url) = 'text'"), "3");
}
