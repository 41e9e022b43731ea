#include "model/CheckHistory.h"
#include "model/DateTime.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

namespace {

RecordedCheck WithKind(LinkStatus verdict, LinkKind kind, QByteArrayView anchor = "My site")
{
    CheckFacts facts = FollowedFacts();
    facts.analysis.kind = kind;
    facts.analysis.anchorText = anchor.toByteArray();
    return Check(MinuteAfterStart(0), verdict, facts);
}

}  // namespace

TEST(CheckHistory, NamesAChangeOfVerdict)
{
    const auto change = [](LinkStatus before, LinkStatus after) {
        return ChangesBetween(Check(MinuteAfterStart(0), before, CheckFacts()),
                              Check(MinuteAfterStart(1), after, CheckFacts()));
    };
    EXPECT_EQ(change(lsFound, lsNotFound), ChangeLost);
    EXPECT_EQ(change(lsFound, lsConnectionError), ChangeLost);
    EXPECT_EQ(change(lsNotFound, lsFound), ChangeBack);
    EXPECT_EQ(change(lsConnectionError, lsFound), ChangeBack);
    EXPECT_EQ(change(lsConnectionError, lsNotFound), ChangeNowNotFound);
    EXPECT_EQ(change(lsNotFound, lsConnectionError), ChangeNowFailing);
    EXPECT_EQ(change(lsFound, lsFound), 0);
    EXPECT_EQ(change(lsNotFound, lsNotFound), 0);
    // The first check has nothing to compare with.
    EXPECT_EQ(change(lsUnchecked, lsFound), 0);
}

TEST(CheckHistory, NamesAChangeOfLinkOnlyBetweenAnalysedPages)
{
    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Followed), WithKind(lsFound, LinkKind::Nofollow)),
              ChangeNowNofollow);
    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Nofollow), WithKind(lsFound, LinkKind::Followed)),
              ChangeNowFollowed);
    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Followed), WithKind(lsFound, LinkKind::Mention, "")),
              ChangeNowMention);
    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Followed), WithKind(lsNotFound, LinkKind::None, "")),
              ChangeLost | ChangeNowNoLink);
    // A failed fetch says nothing about the link, before or after.
    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Followed), WithKind(lsConnectionError, LinkKind::Unknown)),
              ChangeLost);
    EXPECT_EQ(ChangesBetween(WithKind(lsConnectionError, LinkKind::Unknown), WithKind(lsFound, LinkKind::Nofollow)),
              ChangeBack);

    EXPECT_EQ(ChangesBetween(WithKind(lsFound, LinkKind::Followed, "My site"),
                             WithKind(lsFound, LinkKind::Nofollow, "Visit my site")),
              ChangeNowNofollow | ChangeAnchorText);
    // Only a link has an anchor text; a mention's is empty and changes nothing.
    EXPECT_EQ(
        ChangesBetween(WithKind(lsFound, LinkKind::Followed, "My site"), WithKind(lsFound, LinkKind::Mention, "")),
        ChangeNowMention);
}

TEST(CheckHistory, NamesAMoveAndNewBotProtection)
{
    CheckFacts before = FollowedFacts();
    CheckFacts after = FollowedFacts(5);  // other times, sizes and evidence: no change
    EXPECT_EQ(ChangesBetween(Check(1, lsFound, before), Check(2, lsFound, after)), 0);
    after.finalUrl = "https://partner.test/new-links/";
    EXPECT_EQ(ChangesBetween(Check(1, lsFound, before), Check(2, lsFound, after)), ChangeMoved);
    after.finalUrl.clear();
    EXPECT_EQ(ChangesBetween(Check(1, lsFound, before), Check(2, lsFound, after)), 0);

    CheckFacts blocked = FailedFacts("http-status", QStringLiteral("HTTP 403 Forbidden"));
    blocked.httpStatus = 403;
    blocked.blocked = true;
    EXPECT_EQ(ChangesBetween(Check(1, lsFound, before), Check(2, lsConnectionError, blocked)),
              ChangeLost | ChangeNowBlocked);
    EXPECT_EQ(ChangesBetween(Check(1, lsConnectionError, blocked), Check(2, lsConnectionError, blocked)), 0);
    EXPECT_EQ(ChangesBetween(RecordedCheck(), Check(2, lsConnectionError, blocked)), 0);
}

TEST(CheckHistory, ChangeTextNamesEveryChangeInOneOrder)
{
    EXPECT_EQ(ChangeText(0), QString());
    EXPECT_EQ(ChangeText(ChangeNowBlocked | ChangeNowNoLink | ChangeLost),
              QStringLiteral("lost, now no link, now blocked"));
    EXPECT_EQ(ChangeText(ChangeAnchorText | ChangeMoved | ChangeNowNofollow),
              QStringLiteral("now nofollow, moved, anchor text changed"));
    EXPECT_EQ(ChangeText(HistoryChanges(1u << 15)), QString());
    EXPECT_EQ(ChangeText(AllHistoryChanges).count(QStringLiteral(", ")), 10);
}

// Items.txt keeps LastCheck to the second; the history keeps the milliseconds of the same clock
// reading.
TEST(CheckHistory, ARecordedCheckStandsForALinkFromItsStoredLastCheckOn)
{
    const double stored = EncodeDateTime(QDate(2024, 5, 1), QTime(10, 0, 0));
    const double sameSecond = EncodeDateTime(QDate(2024, 5, 1), QTime(10, 0, 0, 730));
    const double later = EncodeDateTime(QDate(2024, 5, 1), QTime(10, 0, 1));
    const double earlier = EncodeDateTime(QDate(2024, 5, 1), QTime(9, 59, 59, 999));
    EXPECT_EQ(RestoredLastCheck(stored, sameSecond), stored);
    EXPECT_EQ(RestoredLastCheck(sameSecond, sameSecond), sameSecond);
    EXPECT_EQ(RestoredLastCheck(stored, later), later);
    EXPECT_EQ(RestoredLastCheck(stored, earlier), std::nullopt);
    EXPECT_EQ(RestoredLastCheck(0, earlier), earlier);  // never checked as far as Items.txt knows
    EXPECT_EQ(RestoredLastCheck(stored, 0), std::nullopt);
}
