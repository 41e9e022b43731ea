#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/Records.h"

#include "support/CheckFixture.h"
#include "support/ScriptedServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

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
        write("config.ini", "[Common]\r\nThreadCount=2\r\n");
    }

    void write(const char* name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Lets every page be fetched once more.
    void serveAgain()
    {
        for (std::size_t i = 0; i < m_servers.size(); ++i)
            m_servers[i]->answer(m_pages[i].second);
    }

    std::map<QString, std::pair<QByteArray, QDateTime>> snapshot() const
    {
        std::map<QString, std::pair<QByteArray, QDateTime>> files;
        for (const QFileInfo& info : QDir(m_dir.path()).entryInfoList(QDir::Files)) {
            QFile file(info.filePath());
            file.open(QIODevice::ReadOnly);
            files[info.fileName()] = {file.readAll(), info.lastModified()};
        }
        return files;
    }

    Outcome run(const QStringList& arguments, const QString& program = {},
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program.isEmpty() ? m_program : program, arguments);
        Outcome result;
        // Waiting also reads what the program writes, so a full pipe never blocks it.
        if (!process.waitForFinished(60000))
            process.kill();
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
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

}  // namespace
