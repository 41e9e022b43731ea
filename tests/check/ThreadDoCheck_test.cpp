#include "check/UnitThreadDoCheck.h"
#include "model/Clock.h"

#include "support/CheckFixture.h"
#include "support/ScriptedServer.h"
#include "support/StepClock.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>
#include <zlib.h>

namespace {

// A loopback port that nothing listens on.
quint16 ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

class Verdicts : public CheckFixture {
protected:
    // A website of its own for the address searched for.
    LinkRecord addCase(const QByteArray& response, const QByteArray& siteUrl)
    {
        const std::int32_t id = m_websites.NextWebsiteId();
        m_websites.append({"Site " + QByteArray::number(id), siteUrl, id});
        auto server = std::make_unique<ScriptedServer>();
        server->answer(response);
        const LinkRecord row = addLink(server->url("/"), id);
        m_servers.push_back(std::move(server));
        return row;
    }

    std::vector<std::unique_ptr<ScriptedServer>> m_servers;
};

TEST_F(Verdicts, EveryOutcomeIsStoredWithTheTimeOfTheCheck)
{
    const QByteArray domain = "www.my-site.test";
    const LinkRecord otherCase =
        addCase(OkResponse("<A HREF=\"HTTP://WWW.MY-SITE.TEST/INDEX.HTML\">"), "www.My-Site.test");
    const LinkRecord shorterPart = addCase(OkResponse("see my-site.test"), domain);
    const LinkRecord highBytes = addCase(OkResponse("WWW.CAF\xe9.TEST"), "www.caf\xe9.test");
    const LinkRecord highBytesFolded = addCase(OkResponse("WWW.CAF\xc9.TEST"), "www.caf\xe9.test");
    const LinkRecord afterNul = addCase(OkResponse(QByteArray("\0<p>\0\0", 6) + domain), domain);
    const LinkRecord noContent = addCase("HTTP/1.1 204 No Content\r\n\r\n", domain);
    const LinkRecord emptyBody = addCase(OkResponse(""), domain);
    const LinkRecord emptySiteUrl = addCase(OkResponse("anything at all"), "");
    const LinkRecord notFound404 =
        addCase("HTTP/1.1 404 Not Found\r\nContent-Length: 16\r\n\r\nwww.my-site.test", domain);
    const LinkRecord serverError = addCase("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", domain);
    const LinkRecord unreachable = addLink("http://127.0.0.1:" + QByteArray::number(ClosedPort()) + "/", 1);
    const LinkRecord badAddress = addLink("http://", 1);

    TestAuthority untrusted;
    const TestIdentity identity = untrusted.issue("IP:127.0.0.1");
    ScriptedServer tls(identity.certPem, identity.keyPem);
    tls.add(ServerScript().startTls().readRequest().send(OkResponse(domain)));
    const LinkRecord badCertificate = addLink("https://" + tls.authority() + "/", 1);

    // A link whose website is gone is checked against an empty address.
    auto orphanServer = std::make_unique<ScriptedServer>();
    orphanServer->answer(OkResponse(domain));
    const LinkRecord orphan = addLink(orphanServer->url("/"), 77);

    const InstalledFixedClock clock(46000.75);
    setThreadCount(20);
    checkAll();

    const std::vector<std::pair<LinkRecord, LinkStatus>> expected = {
        {otherCase, lsFound},
        {shorterPart, lsNotFound},
        {highBytes, lsFound},
        {highBytesFolded, lsNotFound},
        {afterNul, lsFound},
        {noContent, lsNotFound},
        {emptyBody, lsNotFound},
        {emptySiteUrl, lsNotFound},
        {notFound404, lsConnectionError},
        {serverError, lsConnectionError},
        {unreachable, lsConnectionError},
        {badAddress, lsConnectionError},
        {badCertificate, lsConnectionError},
        {orphan, lsNotFound},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first->PageUrl.toStdString());
        EXPECT_EQ(expected[i].first->Status, expected[i].second) << "case " << i;
        EXPECT_EQ(expected[i].first->LastCheck, 46000.75);
    }
    EXPECT_TRUE(orphan->SiteUrl.isEmpty());
    EXPECT_EQ(m_dispatcher->RunningChecks(), 0);
}

TEST_F(Verdicts, DetailsArriveWithTheVerdictAndNeverChangeIt)
{
    const QByteArray domain = "www.my-site.test";
    // Only an entity-encoded link: the byte search misses it, the analysis does not.
    const LinkRecord encoded =
        addCase(OkResponse("<p><a href=\"http&#58;//www&#46;my-site&#46;test/\">Mine</a></p>"), domain);
    const LinkRecord nofollow =
        addCase(OkResponse("<a rel=\"Sponsored\" href=\"http://www.my-site.test/x\">My site</a>"), domain);
    const LinkRecord gone = addCase("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", domain);
    checkAll();

    EXPECT_EQ(encoded->Status, lsNotFound);
    const CheckDetails& found = encoded->Details.get();
    EXPECT_EQ(found.httpStatus(), 200);
    EXPECT_EQ(found.linkKind(), LinkKind::Followed);
    EXPECT_EQ(found.href(), "http://www.my-site.test/");
    EXPECT_EQ(found.anchorText(), "Mine");
    EXPECT_EQ(nofollow->Status, lsFound);
    EXPECT_EQ(nofollow->Details.get().linkKind(), LinkKind::Nofollow);
    EXPECT_EQ(nofollow->Details.get().rel(), "sponsored");
    EXPECT_EQ(gone->Status, lsConnectionError);
    EXPECT_EQ(gone->Details.get().failure(), "http-status");
    EXPECT_EQ(gone->Details.get().reason(), QStringLiteral("HTTP 404 Not Found"));
    EXPECT_EQ(gone->Details.get().httpStatus(), 404);

    // Without the analysis a check still tells how the fetch went; the next check replaces them.
    m_dispatcher->setAnalysePages(false);
    m_servers[1]->answer(OkResponse("<a href=\"http://www.my-site.test/\">again</a>"));
    m_links.clearSelection();
    m_links.setSelected(*nofollow, true);
    m_dispatcher->StartSelected();
    m_dispatcher->WaitUntilIdle();
    EXPECT_EQ(nofollow->Status, lsFound);
    EXPECT_EQ(nofollow->Details.get().httpStatus(), 200);
    EXPECT_EQ(nofollow->Details.get().linkKind(), LinkKind::Unknown);
    EXPECT_EQ(nofollow->Details.get().extent(), AnalysisExtent::NotAnalysed);
}

TEST(MatchPage, FoldsOnlyAsciiLettersAndSearchesTheWholePage)
{
    EXPECT_TRUE(MatchPage("xx WWW.MY-SITE.TEST/ yy", "www.my-site.test"));
    EXPECT_FALSE(MatchPage("www.my-site.tes", "www.my-site.test"));
    EXPECT_FALSE(MatchPage("", "a"));
    EXPECT_FALSE(MatchPage("abc", ""));
    // '@' (64) and '`' (96) sit beside the letters; folding them would be a fault.
    EXPECT_FALSE(MatchPage("@", "`"));
    EXPECT_TRUE(MatchPage(QByteArrayView("\0\0\0a\0b", 6), QByteArrayView("A\0B", 3)));
    EXPECT_FALSE(MatchPage("\xc9", "\xe9"));
}

TEST_F(Verdicts, ProxySettingsAreReadAtTheCheck)
{
    ScriptedServer proxy;
    proxy.answer(OkResponse("<a href=\"http://www.my-site.test/\">"));
    const LinkRecord row = addLink("http://www.partner.test/links.html");
    m_settings.writeString("Proxy", "UseProxy", "1");
    m_settings.writeString("Proxy", "ProxyServer", "127.0.0.1");
    m_settings.writeInteger("Proxy", "ProxyPort", proxy.port());
    m_settings.writeString("Proxy", "ProxyUser", "joe");
    m_settings.writeString("Proxy", "ProxyPass", "pw");
    checkAll();
    EXPECT_EQ(row->Status, lsFound);
    const QByteArray request = proxy.requests().value(0);
    EXPECT_TRUE(request.startsWith("GET http://www.partner.test:80/links.html HTTP/1.1\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nProxy-Authorization: Basic am9lOnB3\r\n"));
    EXPECT_TRUE(request.contains("\r\nUser-Agent: Quorvane/3.1 (+https://quorvane.example/)\r\n"));
}

// A compressed page holding the address, from a server that compresses whatever it is asked.
QByteArray GzipPage()
{
    const QByteArray page = "<a href=\"http://www.my-site.test/\">";
    QByteArray zipped(256, '\0');
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(page.constData()));
    z.avail_in = static_cast<uInt>(page.size());
    z.next_out = reinterpret_cast<Bytef*>(zipped.data());
    z.avail_out = static_cast<uInt>(zipped.size());
    deflate(&z, Z_FINISH);
    zipped.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + QByteArray::number(zipped.size()) +
        "\r\n\r\n" + zipped;
}

TEST_F(Verdicts, FetchSettingsAreReadAtTheCheck)
{
    ScriptedServer server;
    server.answer(GzipPage());
    const LinkRecord row = addLink(server.url("/a"));
    m_settings.write(Keys::UserAgent, "LinkWatch/2.0");
    checkAll();
    EXPECT_EQ(row->Status, lsFound);
    EXPECT_TRUE(server.requests().value(0).endsWith("\r\nUser-Agent: LinkWatch/2.0\r\n"
                                                    "Accept-Encoding: gzip, deflate\r\n\r\n"));
}

TEST_F(Verdicts, CompressedPageIsSearchedDecodedEvenWhenNotAskedFor)
{
    ScriptedServer server;
    server.answer(GzipPage());
    const LinkRecord row = addLink(server.url("/b"));
    m_settings.write(Keys::Compression, false);
    checkAll();
    EXPECT_EQ(row->Status, lsFound);
    EXPECT_TRUE(
        server.requests().value(0).endsWith("\r\nUser-Agent: Quorvane/3.1 (+https://quorvane.example/)\r\n\r\n"));
}

}  // namespace
