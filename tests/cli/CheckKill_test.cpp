#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "model/Records.h"

#include "support/CheckFixture.h"
#include "support/HistorySamples.h"
#include "support/ScriptedServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitized program starts and checks several times slower: fewer rounds, the same checks.
constexpr int Rounds = 6;
#else
constexpr int Rounds = 8;
#endif
constexpr int Links = 240;
// The last links of the list, whose pages answer only once the test lets them: until then a walk
// cannot end, so that every kill comes in the middle of one, with these checks in flight.
constexpr int HeldLinks = 4;
// Far beyond what a round takes even on a loaded machine; only a hang reaches it.
constexpr auto RoundBound = std::chrono::seconds(90);

const QByteArray MySite = "www.my-site.test";

// The kinds of page, each on a server of its own; link i is on server i % 4, the held ones on the
// last.
enum Page { Linking, NotLinking, SlowLinking, Missing, Held, PageKinds };

Page PageOf(int link)
{
    return link < Links - HeldLinks ? Page(link % Held) : Held;
}

LinkStatus Expected(int link)
{
    const bool mySite = link % 5 != 4 || PageOf(link) == Held;
    switch (PageOf(link)) {
    case Held:
    case Linking:
    case SlowLinking: return mySite ? lsFound : lsNotFound;
    case NotLinking: return lsNotFound;
    default: return lsConnectionError;
    }
}

// What a run of the program left behind, for the next round to compare with.
struct Snapshot {
    std::vector<std::vector<HistoryEntry>> histories;  // per link, newest first
    std::vector<HistoryEntry> sentinel;
    std::size_t total = 0;
};

class CheckKill : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = QFile::decodeName(qgetenv("QUORVANE_APPDIR")) + QStringLiteral("/quorvane-check");
        ASSERT_TRUE(QFileInfo(m_program).isExecutable()) << "not built: " << m_program.toStdString();

        for (auto& server : m_servers)
            server = std::make_unique<ScriptedServer>();
        QByteArray items;
        for (int i = 0; i < Links; ++i) {
            rMonitorInfo link;
            link.SiteId = i % 5 == 4 && PageOf(i) != Held ? 2 : 1;
            link.PageUrl = m_servers[PageOf(i)]->url("/partner/" + QByteArray::number(i) + ".html");
            link.FirstName = "Partner " + QByteArray::number(i);
            link.Created = 45000;
            items += LinkToLine(link, LocaleFormats::system()) + "\r\n";
            m_keys.push_back({link.SiteId, link.PageUrl});
        }
        m_files = {
            {"Items.txt", items},
            {"MySites.txt",
             WebsiteToLine({"My site", MySite, 1}) + "\r\n" + WebsiteToLine({"Other site", "www.other.test", 2}) +
                 "\r\n"},
            // A confirming second fetch waits seconds; the pages here never change their answer.
            {"config.ini", "[Common]\r\nThreadCount=4\r\n[Check]\r\nConfirmLosses=0\r\n"},
        };
        for (const auto& [name, bytes] : m_files) {
            QFile file(m_dir.filePath(QLatin1StringView(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(bytes), bytes.size());
        }
    }

    QString historyFile() const { return m_dir.filePath(QLatin1StringView(HistoryStore::FileName)); }

    // An answer for every link of one walk; what a killed walk leaves unused serves the next one.
    void serveOneWalk()
    {
        const QByteArray linking = OkResponse("<p>Partners: <a href=\"http://" + MySite + "/\">My site</a></p>");
        for (int i = 0; i < Links; ++i) {
            ScriptedServer& server = *m_servers[PageOf(i)];
            switch (PageOf(i)) {
            case Linking: server.answer(linking); break;
            case NotLinking: server.answer(OkResponse("<p>No partners here.</p>")); break;
            // Slow enough that a kill finds checks in flight.
            case SlowLinking: server.add(ServerScript().readRequest().delay(60).send(linking)); break;
            case Missing: server.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"); break;
            default: server.add(ServerScript().readRequest().awaitRelease().send(linking)); break;
            }
        }
    }

    int connections() const
    {
        int count = 0;
        for (const auto& server : m_servers)
            count += server->connections();
        return count;
    }

    pid_t start()
    {
        const QByteArray program = QFile::encodeName(m_program);
        const QByteArray dir = QFile::encodeName(m_dir.path());
        const QByteArray out = QFile::encodeName(m_output.filePath(QStringLiteral("out")));
        const QByteArray err = QFile::encodeName(m_output.filePath(QStringLiteral("err")));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::array<char*, 4> argv{const_cast<char*>(program.constData()), const_cast<char*>("--appdir"),
                                  const_cast<char*>(dir.constData()), nullptr};
        pid_t child = -1;
        const int failed = ::posix_spawn(&child, program.constData(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed ? -1 : child;
    }

    QByteArray output(const char* name) const
    {
        QFile file(m_output.filePath(QLatin1StringView(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Checks committed so far, read beside the running program as any other reader would.
    std::size_t committedNow() const
    {
        return std::size_t(RawValue(historyFile(), "SELECT count(*) FROM checks").toLongLong());
    }

    // Opens the history as the window would after the kill, proves it still records, and reads
    // every link's checks.
    Snapshot reopen(int round)
    {
        HistoryOptions options;
        options.commitDelayMs = 0;
        HistoryStore store(historyFile(), {}, options);
        EXPECT_EQ(store.problem(), QString());
        EXPECT_TRUE(store.isRecording());
        store.record(m_sentinel, Check(MinuteAfterStart(round), lsFound, FollowedFacts(round)));
        EXPECT_TRUE(store.flush());

        Snapshot snapshot;
        for (const LinkKey& key : m_keys) {
            snapshot.histories.push_back(store.history(key, 1 << 20));
            snapshot.total += snapshot.histories.back().size();
        }
        snapshot.sentinel = store.history(m_sentinel, 1 << 20);
        return snapshot;
    }

    // Nothing committed before is gone or changed: each link's older checks are the tail of its
    // newer list, since checks come newest first. Every check carries its page's verdict.
    void expectKept(const Snapshot& before, const Snapshot& after, int round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_GE(after.total, before.total);
        EXPECT_EQ(after.sentinel.size(), before.sentinel.size() + 1);
        for (int i = 0; i < Links; ++i) {
            const std::vector<HistoryEntry>& now = after.histories[std::size_t(i)];
            const std::vector<HistoryEntry>& then = before.histories[std::size_t(i)];
            ASSERT_GE(now.size(), then.size()) << m_keys[std::size_t(i)].pageUrl.toStdString();
            EXPECT_TRUE(std::equal(then.begin(), then.end(), now.end() - std::ptrdiff_t(then.size())))
                << m_keys[std::size_t(i)].pageUrl.toStdString();
            for (const HistoryEntry& entry : now)
                ASSERT_EQ(entry.check.verdict, Expected(i)) << m_keys[std::size_t(i)].pageUrl.toStdString();
        }
    }

    // The program reads the data files and never writes them: a kill leaves them as they were.
    void expectDataFilesIntact()
    {
        for (const auto& [name, bytes] : m_files) {
            QFile file(m_dir.filePath(QLatin1StringView(name)));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
            EXPECT_EQ(file.readAll(), bytes) << name;
        }
        LinkList links;
        LoadLinks(m_dir.path() + u'/', links, LocaleFormats::system());
        ASSERT_EQ(links.rowCount(), Links);
        std::size_t row = 0;
        links.forEachRow([&](const rMonitorInfo& link) {
            EXPECT_EQ((LinkKey{link.SiteId, link.PageUrl}), m_keys[row]);
            ++row;
        });
        const QStringList aside =
            QDir(m_dir.path()).entryList({QLatin1StringView(HistoryStore::FileName) + QStringLiteral(".damaged*")});
        EXPECT_TRUE(aside.isEmpty()) << aside.join(u' ').toStdString();
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_output;
    QString m_program;
    std::array<std::unique_ptr<ScriptedServer>, PageKinds> m_servers;
    std::vector<LinkKey> m_keys;
    std::vector<std::pair<const char*, QByteArray>> m_files;
    const LinkKey m_sentinel{1, "http://sentinel.test/"};
};

}  // namespace

// quorvane-check walks a few hundred links and is killed with SIGKILL at a random moment once the
// history has committed some of this walk's checks, again and again on the same folder, and every
// other time once more as it starts on what that kill left. After each kill the file is sound,
// opens and records, holds everything seen committed before the kill and everything earlier rounds
// left, and the data files are untouched. A last walk then runs to its end on the same file.
TEST_F(CheckKill, KillsDuringAWalkLoseNothingCommittedAndLeaveASoundHistory)
{
    std::mt19937 rng(20261209);
    Snapshot before;
    before.histories.resize(Links);
    int killedMidWalk = 0;

    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        serveOneWalk();
        const int startConnections = connections();
        const int target = Links / 10 + int(rng() % unsigned(Links * 2 / 3));
        const pid_t child = start();
        ASSERT_GT(child, 0);

        const auto deadline = std::chrono::steady_clock::now() + RoundBound;
        std::size_t seenCommitted = 0;
        int status = 0;
        bool ended = false;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(child, &status, WNOHANG) == child) {
                ended = true;
                break;
            }
            if (connections() - startConnections >= target && QFileInfo::exists(historyFile())) {
                seenCommitted = committedNow();
                // The sentinel checks of earlier rounds are in the count too.
                if (seenCommitted > before.total + std::size_t(round)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 50));
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!ended) {
            ::kill(child, SIGKILL);
            ASSERT_EQ(::waitpid(child, &status, 0), child);
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the walk hung";
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            ++killedMidWalk;
        else
            EXPECT_TRUE(WIFEXITED(status)) << output("err").toStdString();

        // Every other time the program is started on what the kill left (a log of commits not yet
        // copied into the file, for one) and killed again in its first moments, as it starts and
        // opens the history.
        if (round % 2 == 1) {
            const pid_t again = start();
            ASSERT_GT(again, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 80));
            ::kill(again, SIGKILL);
            ASSERT_EQ(::waitpid(again, &status, 0), again);
            EXPECT_TRUE(WIFSIGNALED(status));
        }

        ASSERT_EQ(IntegrityCheck(historyFile()), "ok");
        expectDataFilesIntact();
        const Snapshot after = reopen(round);
        EXPECT_GE(after.total + std::size_t(round), seenCommitted);
        expectKept(before, after, round);
        if (HasFailure())
            return;
        before = after;
    }
    // A kill only proves something when it comes in the middle of a walk.
    EXPECT_EQ(killedMidWalk, Rounds);

    // The history the kills left serves a whole walk, which records one check for every link.
    serveOneWalk();
    m_servers[Held]->release();
    const pid_t child = start();
    ASSERT_GT(child, 0);
    const auto deadline = std::chrono::steady_clock::now() + RoundBound;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) != child) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            FAIL() << "the walk hung";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << output("err").toStdString();
    EXPECT_EQ(output("err"), "");
    EXPECT_EQ(output("out").count('\n'), Links + 1);
    EXPECT_EQ(IntegrityCheck(historyFile()), "ok");
    expectDataFilesIntact();
    const Snapshot last = reopen(Rounds);
    expectKept(before, last, Rounds);
    for (int i = 0; i < Links; ++i)
        EXPECT_EQ(last.histories[std::size_t(i)].size(), before.histories[std::size_t(i)].size() + 1);
}
