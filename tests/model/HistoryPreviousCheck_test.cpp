#include "model/HistoryStore.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

// quorvane-check reads every link's latest check before it checks, and hands it back with the
// link's next check so that the writer need not look the link up. What it writes must be what a
// look-up would have written, and a check the file no longer holds as the link's latest must never
// be taken for it.

namespace {

const LinkKey Garden{1, "http://www.partner.test/links/"};

// Every row of both tables as text, keyed by website and page address rather than by row id.
QByteArray Dump(const QString& file)
{
    return RawValue(file,
                    "SELECT group_concat(line, char(10)) FROM ("
                    "SELECT quote(site_id) || ' ' || quote(page_url) || ' ' || quote(at) || ' ' || quote(verdict) "
                    "|| ' ' || quote(changes) || ' ' || quote(details) || ' ' || quote(newest) AS line FROM links "
                    "UNION ALL SELECT quote(site_id) || ' ' || quote(page_url) || ' ' || quote(n) || ' ' || "
                    "quote(checks.at) || ' ' || quote(checks.verdict) || ' ' || quote(checks.changes) || ' ' || "
                    "quote(http) || ' ' || quote(kind) || ' ' || quote(extent) || ' ' || quote(flags) || ' ' || "
                    "quote(elapsed_ms) || ' ' || quote(bytes) || ' ' || quote(failure) || ' ' || quote(reason) || ' ' "
                    "|| quote(final_url) || ' ' || quote(redirects) || ' ' || quote(content_type) || ' ' || "
                    "quote(href) || ' ' || quote(rel) || ' ' || quote(anchor_text) || ' ' || quote(canonical) || ' ' "
                    "|| quote(evidence) || ' ' || quote(match_start) || ' ' || quote(match_length) || ' ' || "
                    "quote(attempts) FROM checks JOIN links ON links.id = checks.link "
                    "ORDER BY line)");
}

// Checks whose every text and verdict changes now and then, for link `link` in round `round`.
RecordedCheck VariedCheck(int link, int round)
{
    const double at = MinuteAfterStart(round * 60 + link, link * 7 % 1000);
    CheckFacts facts = FollowedFacts(round % 3);
    switch ((link + round) % 6) {
    case 0: return Check(at, lsFound, facts);
    case 1:
        facts.analysis.kind = LinkKind::Nofollow;
        facts.analysis.rel = "nofollow ugc";
        facts.analysis.anchorText = "Gärten – partners";
        facts.redirects = {{"http://partner.test/links", 301}, {"https://partner.test/links", 302}};
        facts.finalUrl = "https://www.partner.test/links/";
        return Check(at, lsFound, facts);
    case 2: {
        facts.analysis = LinkAnalysis();
        facts.analysis.kind = LinkKind::None;
        facts.analysis.extent = AnalysisExtent::Whole;
        return Check(at, lsNotFound, facts);
    }
    case 3:
        return Check(at, lsConnectionError,
                     FailedFacts("tls", QStringLiteral("Zertifikat abgelaufen – %1").arg(round)));
    case 4:
        facts.blocked = true;
        facts.httpStatus = 429;
        return Check(at, lsConnectionError, facts);
    default: return Check(at, lsFound, facts, round % 2 == 1);
    }
}

}  // namespace

TEST(HistoryPreviousCheck, WritesWhatALookUpWouldHaveWritten)
{
    HistoryDir lookedUp;
    HistoryDir handedBack;
    constexpr int Links = 12;
    for (int round = 0; round < 8; ++round) {
        HistoryStore plain(lookedUp.file(), {}, TestHistoryOptions());
        HistoryStore run(handedBack.file(), {}, TestHistoryOptions());
        const LatestChecks latest = run.latestChecks();
        for (int link = 0; link < Links; ++link) {
            const RecordedCheck check = VariedCheck(link, round);
            plain.record(SampleLinkKey(link), check);
            run.record(SampleLinkKey(link), check, latest.previousCheck(SampleLinkKey(link)));
        }
    }
    const QByteArray dump = Dump(lookedUp.file());
    EXPECT_EQ(dump.count('\n'), Links + Links * 8 - 1);
    EXPECT_EQ(Dump(handedBack.file()), dump);
    EXPECT_EQ(IntegrityCheck(handedBack.file()), "ok");

    // The check handed back is taken as the link's latest as long as the row still holds it there:
    // here it says "not found" where the file says "found", and the new check reads "back" too.
    std::optional<PreviousCheck> previous;
    {
        HistoryStore store(handedBack.file(), {}, TestHistoryOptions());
        previous = store.latestChecks().previousCheck(SampleLinkKey(0));
    }
    ASSERT_TRUE(previous);
    ASSERT_EQ(previous->check.verdict, lsFound);
    previous->check.verdict = lsNotFound;
    HistoryStore store(handedBack.file(), {}, TestHistoryOptions());
    store.record(SampleLinkKey(0), VariedCheck(0, 0), previous);
    ASSERT_TRUE(store.flush());
    const HistoryChanges changes = store.history(SampleLinkKey(0), 1).front().changes;
    EXPECT_EQ(changes, ChangesBetween(previous->check, VariedCheck(0, 0)));
    EXPECT_TRUE(changes & ChangeBack);
}

// A check handed back that the file no longer holds as the link's latest is passed over, and the
// link looked up: another program recorded a check since, the link was deleted and recorded anew
// under the same row id, or two rows with one key each hand back the same check.
TEST(HistoryPreviousCheck, ACheckTheFileNoLongerHoldsAsTheLatestIsLookedUp)
{
    HistoryDir dir;
    const RecordedCheck found = Check(MinuteAfterStart(0), lsFound, FollowedFacts(0));
    const RecordedCheck lost = Check(MinuteAfterStart(1), lsNotFound, CheckFacts());
    const RecordedCheck again = Check(MinuteAfterStart(2), lsFound, FollowedFacts(1));
    HistoryStore run(dir.file(), {}, TestHistoryOptions(5000));
    run.record(Garden, found);
    ASSERT_TRUE(run.flush());
    const std::optional<PreviousCheck> read = run.latestChecks().previousCheck(Garden);
    ASSERT_TRUE(read);
    {
        HistoryStore window(dir.file(), {}, TestHistoryOptions(5000));
        window.record(Garden, lost);
    }
    run.record(Garden, again, read);
    ASSERT_TRUE(run.flush());
    std::vector<HistoryEntry> entries = run.history(Garden);
    EXPECT_EQ(Checks(entries), (std::vector<RecordedCheck>{again, lost, found}));
    EXPECT_EQ(entries.front().changes, ChangeBack);

    // Deleted, then recorded anew: the new row takes the old one's id (it was the last) and its
    // first check is numbered 1 again, as the old one was when it was read.
    const std::optional<PreviousCheck> first = run.latestChecks().previousCheck(Garden);
    run.forget(Garden);
    run.record(Garden, lost);
    ASSERT_TRUE(run.flush());
    ASSERT_EQ(run.latestChecks().previousCheck(Garden)->place.link, first->place.link);
    run.record(Garden, again, PreviousCheck{found, {first->place.link, 1, first->place.atMs}});
    run.record(Garden, again, PreviousCheck{found, {first->place.link, 1, first->place.atMs}});
    ASSERT_TRUE(run.flush());
    entries = run.history(Garden);
    EXPECT_EQ(Checks(entries), (std::vector<RecordedCheck>{again, again, lost}));
    EXPECT_EQ(entries[1].changes, ChangeBack);
    EXPECT_EQ(RawValue(dir.file(), "SELECT newest FROM links"), "3");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}

// The window deleted the link while quorvane-check was checking it: the check, handed back with
// the latest check read before, does not bring the link's history back. One without a check handed
// back is a link new to the history, and is recorded.
TEST(HistoryPreviousCheck, ALinkForgottenSinceItsLatestCheckWasReadIsNotRecordedAgain)
{
    HistoryDir dir;
    HistoryStore run(dir.file(), {}, TestHistoryOptions(5000));
    run.record(Garden, Check(MinuteAfterStart(0), lsFound, FollowedFacts(0)));
    ASSERT_TRUE(run.flush());
    const std::optional<PreviousCheck> read = run.latestChecks().previousCheck(Garden);
    ASSERT_TRUE(read);
    {
        HistoryStore window(dir.file(), {}, TestHistoryOptions(5000));
        window.forget(Garden);
    }
    run.record(Garden, Check(MinuteAfterStart(1), lsNotFound, CheckFacts()), read);
    ASSERT_TRUE(run.flush());
    EXPECT_TRUE(run.history(Garden).empty());
    EXPECT_EQ(RawValue(dir.file(), "SELECT count(*) FROM links"), "0");

    run.record(Garden, Check(MinuteAfterStart(2), lsFound, FollowedFacts(2)));
    ASSERT_TRUE(run.flush());
    EXPECT_EQ(run.history(Garden).size(), 1u);
}

// A hand edit made the row number the newest check too low, and the check handed back says so too:
// the new check still goes after the real newest one, and the row learns its number.
TEST(HistoryPreviousCheck, AHandEditedNewestNumberHandedBackLosesNoCheck)
{
    HistoryDir dir;
    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    for (int minute = 0; minute < 3; ++minute)
        store.record(Garden, Check(MinuteAfterStart(minute), lsFound, FollowedFacts(minute)));
    ASSERT_TRUE(store.flush());
    RawSql(dir.file(), "UPDATE links SET newest = 1");
    const std::optional<PreviousCheck> read = store.latestChecks().previousCheck(Garden);
    ASSERT_EQ(read->place.n, 1);
    const RecordedCheck next = Check(MinuteAfterStart(3), lsFound, FollowedFacts(3));
    store.record(Garden, next, read);
    ASSERT_TRUE(store.flush());
    const std::vector<HistoryEntry> entries = store.history(Garden);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.front().check, next);
    EXPECT_EQ(entries[1].check, Check(MinuteAfterStart(2), lsFound, FollowedFacts(2)));
    EXPECT_EQ(RawValue(dir.file(), "SELECT newest FROM links"), "4");
    EXPECT_EQ(IntegrityCheck(dir.file()), "ok");
}
