#include "model/Csv.h"
#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/Records.h"

#include "support/CheckFixture.h"
#include "support/ProgramRun.h"
#include "support/ScriptedServer.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QStringList Keys = {QStringLiteral("verdict"),
                          QStringLiteral("website"),
                          QStringLiteral("page"),
                          QStringLiteral("http_status"),
                          QStringLiteral("error"),
                          QStringLiteral("reason"),
                          QStringLiteral("blocked"),
                          QStringLiteral("final_url"),
                          QStringLiteral("redirects"),
                          QStringLiteral("elapsed_ms"),
                          QStringLiteral("bytes"),
                          QStringLiteral("link"),
                          QStringLiteral("href"),
                          QStringLiteral("rel"),
                          QStringLiteral("anchor_text"),
                          QStringLiteral("noindex"),
                          QStringLiteral("page_nofollow"),
                          QStringLiteral("canonical"),
                          QStringLiteral("canonical_elsewhere"),
                          QStringLiteral("evidence")};

// Four partner pages of "My site", each on a server of its own: a redirect to a page whose only link
// is nofollow (its anchor text not valid UTF-8), a followed link whose anchor text a spreadsheet would
// run, bot protection, and a plain mention.
class QuorvaneCheckFormats : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = QFile::decodeName(qgetenv("QUORVANE_APPDIR")) + QStringLiteral("/quorvane-check");
        ASSERT_TRUE(QFileInfo(m_program).isExecutable()) << "not built: " << m_program.toStdString();
        for (int i = 0; i < 4; ++i)
            m_servers.push_back(std::make_unique<ScriptedServer>());
        QByteArray items;
        for (std::size_t i = 0; i < m_servers.size(); ++i) {
            rMonitorInfo link;
            link.SiteId = 1;
            link.PageUrl = m_servers[i]->url("/p" + QByteArray::number(qsizetype(i)));
            link.Created = 45000;
            items += LinkToLine(link, LocaleFormats::system()) + "\r\n";
            m_urls.push_back(link.PageUrl);
        }
        write("Items.txt", items);
        write("MySites.txt", WebsiteToLine({"My site", "www.my-site.test", 1}) + "\r\n");
        write("config.ini", "[Common]\r\nThreadCount=2\r\n");
    }

    void serve()
    {
        m_servers[0]->answer("HTTP/1.1 301 Moved Permanently\r\nLocation: " + m_servers[0]->url("/moved") +
                             "\r\nContent-Length: 0\r\n\r\n");
        m_servers[0]->answer(
            OkResponse("<p><a href=\"https://www.my-site.test/x\" rel=\"NoFollow  Sponsored\">Caf\xff  blog</a>"));
        m_servers[1]->answer(OkResponse("<a href=\"http://my-site.test/\">=SUM(A1)</a>"));
        m_servers[2]->answer("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
        m_servers[3]->answer(OkResponse("<p>We like www.my-site.test, \"a lot\".</p>"));
    }

    void write(const char* name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    Outcome run(QStringList arguments)
    {
        arguments << QStringLiteral("--appdir") << m_dir.path();
        return RunProgram(m_program, arguments);
    }

    QTemporaryDir m_dir;
    QString m_program;
    std::vector<std::unique_ptr<ScriptedServer>> m_servers;
    std::vector<QByteArray> m_urls;
};

const char Counts[] = " 4 inbound link(s), 2 found, 1 not found, 1 connection error\n";

TEST_F(QuorvaneCheckFormats, JsonLinesHoldEachCheckUnderExactlyTheDocumentedKeys)
{
    serve();
    const Outcome result = run({QStringLiteral("--format"), QStringLiteral("jsonl")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    // The output is pure data; the counts go to standard error.
    EXPECT_EQ(result.err, Counts);
    const QList<QByteArray> lines = result.out.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[4], "");
    std::vector<QJsonObject> objects;
    for (int i = 0; i < 4; ++i) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(lines[i], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        objects.push_back(document.object());
        QStringList keys = objects.back().keys();
        QStringList expected = Keys;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(objects.back()[u"website"].toString(), QStringLiteral("My site"));
        EXPECT_EQ(objects.back()[u"page"].toString().toUtf8(), m_urls[std::size_t(i)]);
    }

    const QJsonObject& redirected = objects[0];
    EXPECT_EQ(redirected[u"verdict"].toString(), QStringLiteral("found"));
    EXPECT_EQ(redirected[u"http_status"].toInt(), 200);
    EXPECT_TRUE(redirected[u"error"].isNull());
    EXPECT_EQ(redirected[u"final_url"].toString().toUtf8(), m_servers[0]->url("/moved"));
    // The address that answered with the redirect.
    EXPECT_EQ(redirected[u"redirects"].toArray(), QJsonArray({QString::fromUtf8(m_urls[0])}));
    EXPECT_EQ(redirected[u"link"].toString(), QStringLiteral("nofollow"));
    EXPECT_EQ(redirected[u"href"].toString(), QStringLiteral("https://www.my-site.test/x"));
    EXPECT_EQ(redirected[u"rel"].toArray(), QJsonArray({QStringLiteral("nofollow"), QStringLiteral("sponsored")}));
    // A byte that is not UTF-8 becomes a replacement character, and the line stays valid JSON.
    EXPECT_EQ(redirected[u"anchor_text"].toString(), QStringLiteral(u"Caf\uFFFD blog"));
    EXPECT_GT(redirected[u"bytes"].toInteger(), 0);
    EXPECT_TRUE(redirected[u"evidence"].toString().contains(QStringLiteral("www.my-site.test")));
    EXPECT_FALSE(redirected[u"blocked"].toBool());
    EXPECT_TRUE(redirected[u"canonical"].isNull());

    // The verdict's byte search misses the address without "www.", the analysis finds the link.
    EXPECT_EQ(objects[1][u"verdict"].toString(), QStringLiteral("not-found"));
    EXPECT_EQ(objects[1][u"link"].toString(), QStringLiteral("followed"));
    EXPECT_EQ(objects[1][u"anchor_text"].toString(), QStringLiteral("=SUM(A1)"));
    EXPECT_EQ(objects[1][u"rel"].toArray(), QJsonArray());

    const QJsonObject& blocked = objects[2];
    EXPECT_EQ(blocked[u"verdict"].toString(), QStringLiteral("connection-error"));
    EXPECT_EQ(blocked[u"http_status"].toInt(), 403);
    EXPECT_EQ(blocked[u"error"].toString(), QStringLiteral("http-status"));
    EXPECT_TRUE(blocked[u"blocked"].toBool());
    EXPECT_FALSE(blocked[u"reason"].toString().isEmpty());
    // Nothing was analysed.
    EXPECT_TRUE(blocked[u"link"].isNull());

    EXPECT_EQ(objects[3][u"link"].toString(), QStringLiteral("mention"));
    EXPECT_EQ(objects[3][u"href"].toString(), QString());
}

TEST_F(QuorvaneCheckFormats, CsvHasAHeaderRowAndTheSameColumnsWithPageTextsDefused)
{
    serve();
    const Outcome result = run({QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(result.err, Counts);
    EXPECT_TRUE(result.out.startsWith(Keys.join(u',').toUtf8() + "\r\n"));
    const CsvTable table = ReadCsv(result.out);
    ASSERT_EQ(table.error, QString());
    ASSERT_EQ(table.rows.size(), 5u);
    for (const auto& row : table.rows)
        ASSERT_EQ(row.size(), std::size_t(Keys.size()));
    const auto field = [&](std::size_t row, const char* key) {
        return table.rows[row + 1][std::size_t(Keys.indexOf(QLatin1String(key)))];
    };
    EXPECT_EQ(field(0, "verdict"), "found");
    EXPECT_EQ(field(0, "page"), m_urls[0]);
    EXPECT_EQ(field(0, "http_status"), "200");
    EXPECT_EQ(field(0, "error"), "");
    EXPECT_EQ(field(0, "rel"), "nofollow sponsored");
    EXPECT_EQ(field(0, "anchor_text"), "Caf\xEF\xBF\xBD blog");
    EXPECT_FALSE(field(0, "redirects").isEmpty());
    EXPECT_EQ(field(0, "blocked"), "false");
    // A page's text that a spreadsheet would run as a formula is kept inert.
    EXPECT_EQ(field(1, "anchor_text"), "'=SUM(A1)");
    EXPECT_EQ(field(2, "http_status"), "403");
    EXPECT_EQ(field(2, "blocked"), "true");
    EXPECT_EQ(field(2, "link"), "");
    // The mention's evidence holds a comma and quotes, and still reads back whole.
    EXPECT_TRUE(field(3, "evidence").contains("www.my-site.test, \"a lot\"")) << field(3, "evidence").toStdString();
}

TEST_F(QuorvaneCheckFormats, WithoutDetailsTheVerdictsStandAndTheLinkKindIsMissing)
{
    serve();
    const Outcome result = run({QStringLiteral("--no-details"), QStringLiteral("--format"), QStringLiteral("jsonl")});
    EXPECT_EQ(result.exitCode, 1);
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    const char* verdicts[] = {"found", "not-found", "connection-error", "found"};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i]).object();
        EXPECT_EQ(object[u"verdict"].toString().toLatin1(), verdicts[i]);
        EXPECT_TRUE(object[u"link"].isNull());
        EXPECT_GT(object[u"http_status"].toInt(), 0);
    }
}

TEST_F(QuorvaneCheckFormats, AnUnknownOrRepeatedFormatExitsWithTwo)
{
    for (const QStringList& arguments : {QStringList{QStringLiteral("--format"), QStringLiteral("xml")},
                                         QStringList{QStringLiteral("--format"), QStringLiteral("csv"),
                                                     QStringLiteral("--format"), QStringLiteral("tsv")},
                                         QStringList{QStringLiteral("--format")}}) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.startsWith("quorvane-check: ")) << result.err.toStdString();
    }
    for (const auto& server : m_servers)
        EXPECT_EQ(server->connections(), 0);
}

}  // namespace
