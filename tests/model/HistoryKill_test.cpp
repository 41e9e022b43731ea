#include "model/HistoryCodec.h"
#include "model/HistoryStore.h"
#include "support/HistorySamples.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Links = 5;

LinkKey KeyOf(int i)
{
    return {1 + i % Links % 2, "http://partner" + QByteArray::number(i % Links) + ".test/links.html"};
}

// Reads what the child has written until its first commit is reported, or for at most 30 seconds
// (on a loaded machine the child may be slow to start): a kill before any commit proves nothing.
QByteArray WaitForFirstCommit(int fd)
{
    QByteArray text;
    char buffer[256];
    pollfd wait{fd, POLLIN, 0};
    while (!text.contains('\n') && ::poll(&wait, 1, 30000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    return text;
}

// Reads what the child wrote: one line after each commit with the number of checks recorded so far.
int LastCommitted(int fd, QByteArray text)
{
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.last().isEmpty() ? 0 : lines.last().toInt();
}

}  // namespace

// A child records checks in a loop and says after each commit how many it had recorded. It is
// killed at a random moment, again and again: the file stays sound, and every check the child saw
// committed is there, in order.
TEST(HistoryKill, AKillAtAnyMomentKeepsEveryCommittedCheckAndASoundFile)
{
    HistoryDir dir;
    std::mt19937 rng(1234);
    int rounds = 0;
    int committedInAll = 0;
    for (int round = 0; round < 40; ++round) {
        const double base = MinuteAfterStart(round * 1000);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            HistoryOptions options;
            options.busyTimeoutMs = 5000;
            options.commitDelayMs = 20;
            HistoryStore store(dir.file(), {}, options);
            for (int i = 0;; ++i) {
                CheckFacts facts = FollowedFacts(i % 3);
                store.record(KeyOf(i),
                             Check(MsToDayCount(*DayCountToMs(base) + i), i % 4 ? lsFound : lsNotFound, facts));
                if (i % 7 == 6 && store.flush()) {
                    const QByteArray line = QByteArray::number(i + 1) + '\n';
                    if (::write(fds[1], line.constData(), size_t(line.size())) != line.size())
                        ::_exit(3);
                }
            }
        }
        ::close(fds[1]);
        const QByteArray early = WaitForFirstCommit(fds[0]);
        ::usleep(rng() % 90000);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        const int committed = LastCommitted(fds[0], early);
        ::close(fds[0]);

        ASSERT_EQ(IntegrityCheck(dir.file()), "ok") << "round " << round;
        const qint64 first = *DayCountToMs(base);
        const QByteArray kept =
            RawValue(dir.file(),
                     QByteArray("SELECT count(*) FROM checks WHERE at >= " + QByteArray::number(first) + " AND at < " +
                                QByteArray::number(first + committed))
                         .constData());
        ASSERT_EQ(kept.toInt(), committed) << "round " << round;
        committedInAll += committed;
        rounds += committed > 0;
    }
    // The kills must have come after commits for the test to mean anything.
    EXPECT_EQ(rounds, 40);

    HistoryStore store(dir.file(), {}, TestHistoryOptions());
    EXPECT_EQ(store.problem(), QString());
    EXPECT_EQ(store.latestChecks().size(), Links);
    std::size_t recorded = 0;
    for (int link = 0; link < Links; ++link) {
        const std::vector<HistoryEntry> entries = store.history(KeyOf(link), 1 << 20);
        recorded += entries.size();
        for (std::size_t i = 1; i < entries.size(); ++i)
            ASSERT_LT(entries[i].check.at, entries[i - 1].check.at);
    }
    EXPECT_GE(recorded, std::size_t(committedInAll));
}
