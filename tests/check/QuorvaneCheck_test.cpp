#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/HistoryStore.h"
#include "model/Records.h"

#include "support/CheckFixture.h"
#include "support/ProgramRun.h"
#include "support/ScriptedServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

// An AppDir with two websites and five links, each page on a server of its own, and the program
// started on it.
class QuorvaneCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray binDir = qgetenv("QUORVANE_APPDIR");
        m_program = QFile::decodeName(binDir) + QStringLiteral("/quorvane-check");
        ASSERT_TRUE(QFileInfo(m_program).isExecutable()) << "not built: " << m_program.toStdString();

        const QByteArray mySite = "www.my-site.test";
        m_pages = {
            {1, OkResponse("<a href=\"http://" + mySite + "/\">")},
            {1, OkResponse("no link here")},
            {2, OkResponse("<a href=\"http://www.other.test/\">")},
            {1, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
            {1, OkResponse("WWW.MY-SITE.TEST")},
        };
        QByteArray items;
        for (const auto& [siteId, response] : m_pages) {
            auto server = std::make_unique<ScriptedServer>();
            rMonitorInfo link;
            link.SiteId = siteId;
            link.PageUrl = server->url("/p" + QByteArray::number(m_servers.size()));
            link.Created = 45000;
            items += LinkToLine(link, LocaleFormats::system()) + "\r\n";
            m_urls.push_back(link.PageUrl);
            m_servers.push_back(std::move(server));
        }
        write("Items.txt", items);
        write("MySites.txt",
              WebsiteToLine({"My site", mySite, 1}) + "\r\n" + WebsiteToLine({"Other  Site", "www.other.test", 2}) +
                  "\r\n");
        // A link found before whose page fails is fetched once more, here at once.
        write("config.ini", "[Common]\r\nThreadCount=2\r\n[Check]\r\nConfirmPause=0\r\n");
    }

    void write(const char* name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Lets every page be fetched once more, and those of `lost` (found before, failing now) twice,
    // since such a loss is confirmed by a second fetch.
    void serveAgain(std::initializer_list<std::size_t> lost = {})
    {
        for (std::size_t i = 0; i < m_servers.size(); ++i)
            m_servers[i]->answer(m_pages[i].second);
        for (const std::size_t i : lost)
            m_servers[i]->answer(m_pages[i].second);
    }

    std::map<QString, std::pair<QByteArray, QDateTime>> snapshot() const
    {
        std::map<QString, std::pair<QByteArray, QDateTime>> files;
        for (const QFileInfo& info : QDir(m_dir.path()).entryInfoList(QDir::Files)) {
            // The check history is the one file the command writes.
            if (info.fileName().startsWith(QStringLiteral("History.db")))
                continue;
            QFile file(info.filePath());
            file.open(QIODevice::ReadOnly);
            files[info.fileName()] = {file.readAll(), info.lastModified()};
        }
        return files;
    }

    Outcome run(const QStringList& arguments, const QString& program = {},
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        return RunProgram(program.isEmpty() ? m_program : program, arguments, environment);
    }

    QTemporaryDir m_dir;
    QString m_program;
    std::vector<std::pair<std::int32_t, QByteArray>> m_pages;
    std::vector<std::unique_ptr<ScriptedServer>> m_servers;
    std::vector<QByteArray> m_urls;
};

TEST_F(QuorvaneCheck, ChecksEveryLinkAndReportsInListOrder)
{
    serveAgain();
    const auto before = snapshot();
    const Outcome result = run({QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(result.out,
              "found\tMy site\t" + m_urls[0] + "\n" + "not-found\tMy site\t" + m_urls[1] + "\n" +
                  "found\tOther  Site\t" + m_urls[2] + "\n" + "connection-error\tMy site\t" + m_urls[3] + "\n" +
                  "found\tMy site\t" + m_urls[4] + "\n" +
                  " 5 inbound link(s), 3 found, 1 not found, 1 connection error\n");
    // Not a terminal: no progress line.
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(QuorvaneCheck, OneWebsiteByNameWhoseLinksAreAllFound)
{
    serveAgain();
    const Outcome result =
        run({QStringLiteral("--site"), QStringLiteral(" other  site "), QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out,
              "found\tOther  Site\t" + m_urls[2] + "\n" +
                  " 1 inbound link(s), 1 found, 0 not found, 0 connection error\n");
    EXPECT_EQ(m_servers[0]->connections(), 0);
}

TEST_F(QuorvaneCheck, HelpNamesTheDataFolderWhichAnInstalledCopyKeepsInTheUsersFolder)
{
    const Outcome built = run({QStringLiteral("--help")});
    EXPECT_EQ(built.exitCode, 0);
    EXPECT_TRUE(built.out.startsWith("usage: quorvane-check [--appdir DIR] [--site NAME]\n"));
    // The build folder can be written: the data stays beside the program.
    EXPECT_TRUE(built.out.endsWith("\nData folder: " + QFile::encodeName(QFileInfo(m_program).path()) + '\n'))
        << built.out.toStdString();

    // Installed: the program in bin/ beside share/quorvane/, the data in $XDG_DATA_HOME/quorvane.
    QTemporaryDir install;
    QDir root(install.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("share/quorvane")) &&
                root.mkpath(QStringLiteral("xdg/quorvane")));
    const QString program = root.filePath(QStringLiteral("bin/quorvane-check"));
    ASSERT_TRUE(QFile::copy(m_program, program));
    for (const char* name : {"Items.txt", "MySites.txt", "config.ini"})
        ASSERT_TRUE(QFile::copy(m_dir.filePath(QLatin1String(name)),
                                root.filePath(QStringLiteral("xdg/quorvane/") + QLatin1String(name))));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("xdg")));

    const Outcome installed = run({QStringLiteral("-h")}, program, environment);
    EXPECT_EQ(installed.exitCode, 0);
    EXPECT_TRUE(installed.out.endsWith(
        "\nData folder: " + QFile::encodeName(root.filePath(QStringLiteral("xdg/quorvane"))) + '\n'))
        << installed.out.toStdString();

    serveAgain();
    const Outcome checked = run({QStringLiteral("--site"), QStringLiteral("Other  Site")}, program, environment);
    EXPECT_EQ(checked.exitCode, 0) << checked.err.toStdString();
    EXPECT_TRUE(checked.out.startsWith("found\tOther  Site\t" + m_urls[2] + '\n')) << checked.out.toStdString();
}

TEST_F(QuorvaneCheck, BadArgumentsAndUnknownWebsitesExitWithTwo)
{
    const std::vector<QStringList> cases = {
        {QStringLiteral("--site"), QStringLiteral("Nobody's site"), QStringLiteral("--appdir"), m_dir.path()},
        {QStringLiteral("--frobnicate")},
        {QStringLiteral("--appdir")},
        {QStringLiteral("--appdir"), m_dir.filePath(QStringLiteral("missing"))},
        {QStringLiteral("--site"), QStringLiteral("a"), QStringLiteral("--site"), QStringLiteral("b")},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.startsWith("quorvane-check: ")) << result.err.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1);
    }
    for (const auto& server : m_servers)
        EXPECT_EQ(server->connections(), 0);
}

// The first run records every check; the second, after two pages changed, prints only those two
// with what changed, and records again.
TEST_F(QuorvaneCheck, RecordsEveryCheckAndPrintsOnlyTheChanges)
{
    serveAgain();
    const Outcome first = run({QStringLiteral("--appdir"), m_dir.path(), QStringLiteral("--changes")});
    EXPECT_EQ(first.exitCode, 1) << first.err.toStdString();
    // Nothing recorded before: nothing changed.
    EXPECT_EQ(first.out, " 5 inbound link(s), 3 found, 1 not found, 1 connection error\n");
    EXPECT_EQ(first.err, "");

    m_pages[0].second = OkResponse("no link here");
    m_pages[1].second = OkResponse("<a href=\"http://www.my-site.test/\">");
    serveAgain({0});
    const Outcome second = run({QStringLiteral("--changes"), QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(second.exitCode, 1) << second.err.toStdString();
    // The pages' links changed with the verdicts.
    EXPECT_EQ(second.out,
              "not-found\tMy site\t" + m_urls[0] + "\tlost, now no link\n" + "found\tMy site\t" + m_urls[1] +
                  "\tback, now followed\n" + " 5 inbound link(s), 3 found, 1 not found, 1 connection error\n");
    EXPECT_EQ(second.err, "");

    // The same as data, with the change under a key of its own.
    m_pages[0].second = OkResponse("<a href=\"http://www.my-site.test/\">");
    serveAgain();
    const Outcome jsonl = run({QStringLiteral("--changes"), QStringLiteral("--format"), QStringLiteral("jsonl"),
                               QStringLiteral("--appdir"), m_dir.path()});
    ASSERT_EQ(jsonl.out.count('\n'), 1) << jsonl.out.toStdString();
    EXPECT_TRUE(jsonl.out.contains("\"page\":\"" + m_urls[0] + "\"")) << jsonl.out.toStdString();
    EXPECT_TRUE(jsonl.out.contains(",\"change\":\"back, now followed\",")) << jsonl.out.toStdString();

    HistoryStore store(m_dir.filePath(QLatin1StringView(HistoryStore::FileName)));
    ASSERT_TRUE(store.isReadable()) << store.problem().toStdString();
    EXPECT_EQ(store.latestChecks().size(), 5);
    // Both fetches that confirmed the loss are there.
    EXPECT_EQ(store.summary({1, m_urls[0]}).checkCount, 4);
    const std::vector<HistoryEntry> lost = store.history({1, m_urls[0]}, 10);
    ASSERT_EQ(lost.size(), 4u);
    EXPECT_TRUE(lost[1].check.confirmation);
    EXPECT_EQ(lost[1].check.verdict, lsNotFound);
    EXPECT_FALSE(lost[2].check.confirmation);
    EXPECT_EQ(lost[2].check.verdict, lsNotFound);
    const HistoryEntry latest = store.history({2, m_urls[2]}, 10).front();
    EXPECT_EQ(latest.check.verdict, lsFound);
    EXPECT_EQ(latest.check.details.linkKind(), LinkKind::Followed);
}

// A link made after the checks under its key (the page added again, a website Id used again) is
// another link: its first check reports no change, and the earlier link's history goes.
TEST_F(QuorvaneCheck, ALinkMadeAfterTheChecksUnderItsKeyStartsAHistoryOfItsOwn)
{
    serveAgain();
    run({QStringLiteral("--appdir"), m_dir.path()});

    QByteArray items;
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        rMonitorInfo link;
        link.SiteId = m_pages[i].first;
        link.PageUrl = m_urls[i];
        link.Created = i == 0 ? 99999 : 45000;
        items += LinkToLine(link, LocaleFormats::system()) + "\r\n";
    }
    write("Items.txt", items);
    m_pages[0].second = OkResponse("no link here");
    serveAgain();
    const Outcome again = run({QStringLiteral("--changes"), QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(again.out, " 5 inbound link(s), 2 found, 2 not found, 1 connection error\n");
    EXPECT_EQ(m_servers[0]->connections(), 2);
    HistoryStore store(m_dir.filePath(QLatin1StringView(HistoryStore::FileName)));
    const std::vector<HistoryEntry> history = store.history({1, m_urls[0]});
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].check.verdict, lsNotFound);
    EXPECT_EQ(history[0].changes, 0);
    EXPECT_EQ(store.summary({1, m_urls[1]}).checkCount, 2);
}

TEST_F(QuorvaneCheck, NoRecordLeavesTheHistoryAlone)
{
    serveAgain();
    const Outcome fresh = run({QStringLiteral("--no-record"), QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(fresh.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QLatin1StringView(HistoryStore::FileName))));

    serveAgain();
    run({QStringLiteral("--appdir"), m_dir.path()});
    m_pages[0].second = OkResponse("no link here");
    serveAgain({0});
    // Without recording, what changed is still measured against the history there is.
    const Outcome compared =
        run({QStringLiteral("--no-record"), QStringLiteral("--changes"), QStringLiteral("--appdir"), m_dir.path()});
    EXPECT_EQ(compared.out,
              "not-found\tMy site\t" + m_urls[0] + "\tlost, now no link\n" +
                  " 5 inbound link(s), 2 found, 2 not found, 1 connection error\n");
    HistoryStore store(m_dir.filePath(QLatin1StringView(HistoryStore::FileName)));
    EXPECT_EQ(store.summary({1, m_urls[0]}).checkCount, 1);
}

TEST_F(QuorvaneCheck, AFolderWithoutLinksGetsNoHistoryFile)
{
    QTemporaryDir empty;
    const Outcome result = run({QStringLiteral("--appdir"), empty.path()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, " 0 inbound link(s), 0 found, 0 not found, 0 connection error\n");
    EXPECT_EQ(QDir(empty.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// A history that cannot be opened costs one line on standard error and nothing else: the checks,
// the output and the exit status are those of a run without it.
TEST_F(QuorvaneCheck, AHistoryThatCannotBeOpenedIsOneLineOnStandardError)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QLatin1StringView(HistoryStore::FileName)));
    serveAgain();
    const Outcome result = run({QStringLiteral("--appdir"), m_dir.path(), QStringLiteral("--changes")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, " 5 inbound link(s), 3 found, 1 not found, 1 connection error\n");
    EXPECT_TRUE(result.err.startsWith("quorvane-check: ")) << result.err.toStdString();
    EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(m_dir.filePath(QLatin1StringView(HistoryStore::FileName))).isDir());
}

// Without a session bus the notification cannot go out: one line says so, the exit status stays.
TEST_F(QuorvaneCheck, NotifyWithoutASessionBusIsOneLineOnStandardError)
{
    // QtDBus hands its connection's errors and events from its own thread through Qt's and GLib's
    // synchronisation, which the thread sanitizer cannot see in libraries not built with it.
    if (qEnvironmentVariableIsSet("TSAN_OPTIONS"))
        GTEST_SKIP() << "QtDBus under the thread sanitizer";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + m_dir.path() + QStringLiteral("/no-bus"));
    serveAgain();
    const Outcome quiet = run({QStringLiteral("--notify"), QStringLiteral("--appdir"), m_dir.path()}, {}, environment);
    // Nothing was lost: nothing to say, and no bus is needed.
    EXPECT_EQ(quiet.err, "");

    m_pages[0].second = OkResponse("no link here");
    serveAgain({0});
    const Outcome lost = run({QStringLiteral("--notify"), QStringLiteral("--appdir"), m_dir.path()}, {}, environment);
    EXPECT_EQ(lost.exitCode, 1) << lost.err.toStdString();
    EXPECT_TRUE(lost.out.startsWith("not-found\tMy site\t" + m_urls[0] + '\n'));
    EXPECT_TRUE(lost.err.startsWith("quorvane-check: no desktop notification: ")) << lost.err.toStdString();
    EXPECT_EQ(lost.err.count('\n'), 1);
}

}  // namespace
