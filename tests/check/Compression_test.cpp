// Compressed pages: asked for or not, gzip and both forms of deflate are decoded, the size cap holds
// for the decoded bytes, and what cannot be decoded fails instead of being searched as it is.
#include "check/BodyDecoder.h"
#include "check/HttpClient.h"
#include "check/MemoryStream.h"
#include "check/ResponseReader.h"

#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

// windowBits as zlib takes them: 31 gzip, 15 zlib's wrapper, -15 raw deflate.
QByteArray Compress(const QByteArray& data, int windowBits, int level = Z_BEST_COMPRESSION)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

QByteArray Gzip(const QByteArray& data)
{
    return Compress(data, 31);
}

QByteArray Encoded(const QByteArray& coding, const QByteArray& body, const QByteArray& extra = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Encoding: " + coding + "\r\n" + extra +
        "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

const QByteArray Page =
    "<html><body>" + QByteArray(2000, 'x') + "<a href=\"http://www.my-site.test/\">me</a></body></html>";

QByteArray Ok(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

FetchResult Get(const QByteArray& url, bool ask)
{
    HttpClientConfig config;
    config.acceptCompression = ask;
    return HttpClient(config).get(url);
}

TEST(Compression, EveryCodingIsDecodedAskedForOrNot)
{
    const std::vector<QByteArray> responses = {
        Encoded("gzip", Gzip(Page)),
        Encoded("x-gzip", Gzip(Page)),
        Encoded("deflate", Compress(Page, 15)),
        Encoded("Deflate", Compress(Page, -15)),  // raw deflate, as some servers send it
        Encoded("identity, gzip", Gzip(Page)),
        Encoded("gzip", Gzip(Page.first(1000)) + Gzip(Page.sliced(1000))),  // two members
        Encoded("gzip", Gzip(Page) + "trailing bytes"),
    };
    for (const bool ask : {true, false}) {
        ScriptedServer server;
        for (const QByteArray& response : responses)
            server.answer(response);
        for (std::size_t i = 0; i < responses.size(); ++i) {
            const FetchResult result = Get(server.url("/"), ask);
            ASSERT_TRUE(result) << i << ": " << result.text.toStdString();
            EXPECT_EQ(result.body, Page) << i;
            EXPECT_EQ(result.bytesReceived, responses[i].size()) << i;  // the bytes on the wire, not the page
        }
    }
}

TEST(Compression, AcceptEncodingFollowsThePartHeadersOnlyWhenAskedFor)
{
    ScriptedServer server;
    ServerScript script;
    script.readRequest().send("HTTP/1.1 302 Found\r\nSet-Cookie: s=1\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n");
    script.readRequest().send(Encoded("gzip", Gzip(Page)));
    server.add(script);
    server.answer(Encoded("gzip", Gzip(Page)));
    ASSERT_TRUE(Get(server.url("/a"), true));
    ASSERT_TRUE(Get(server.url("/a"), false));
    const QList<QByteArray> requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_TRUE(requests[0].endsWith("\r\nUser-Agent: Quorvane/3.1 (+https://quorvane.example/)\r\n"
                                     "Accept-Encoding: gzip, deflate\r\n\r\n"));
    EXPECT_TRUE(requests[1].endsWith("\r\nCookie: s=1\r\nAccept-Encoding: gzip, deflate\r\n\r\n"));
    EXPECT_FALSE(requests[2].contains("Accept-Encoding"));
}

TEST(Compression, ChunkedAndReadUntilCloseBodiesAreDecodedToo)
{
    const QByteArray zipped = Gzip(Page);
    ScriptedServer server;
    server.answer("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" +
                  QByteArray::number(10, 16) + "\r\n" + zipped.first(10) + "\r\n" +
                  QByteArray::number(zipped.size() - 10, 16) + "\r\n" + zipped.sliced(10) + "\r\n0\r\n\r\n");
    server.answer("HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\n\r\n" + Compress(Page, 15));
    EXPECT_EQ(Get(server.url("/"), true).body, Page);
    EXPECT_EQ(Get(server.url("/"), true).body, Page);
}

TEST(Compression, WhatCannotBeDecodedFails)
{
    ScriptedServer server;
    QByteArray corrupt = Gzip(Page);
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x55);
    server.answer(Encoded("gzip", corrupt));
    server.answer(Encoded("br", "\x1b\x03\x00\xf8"));
    server.answer(Encoded("gzip, gzip", Gzip(Gzip(Page))));
    const FetchResult broken = Get(server.url("/"), true);
    EXPECT_EQ(broken.error, FetchError::ReadFailed);
    EXPECT_EQ(broken.text, QStringLiteral("Page cannot be decompressed: its gzip data is corrupt"));
    const FetchResult brotli = Get(server.url("/"), false);
    EXPECT_EQ(brotli.error, FetchError::ReadFailed);
    EXPECT_EQ(brotli.text, QStringLiteral("Page compressed as br, which cannot be read"));
    EXPECT_EQ(Get(server.url("/"), true).error, FetchError::ReadFailed);
}

TEST(Compression, UnwantedBodiesAreNotDecoded)
{
    // A redirect's and an error's bodies are dropped as they come, whatever their coding claims.
    ScriptedServer server;
    server.answer("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Encoding: br\r\nContent-Length: 4\r\n\r\njunk");
    server.answer(Ok(Page));
    server.answer("HTTP/1.1 404 Not Found\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\njunk");
    EXPECT_EQ(Get(server.url("/"), true).body, Page);
    const FetchResult missing = Get(server.url("/"), true);
    EXPECT_EQ(missing.error, FetchError::HttpStatus);
    EXPECT_EQ(missing.text, QStringLiteral("HTTP 404 Not Found"));
}

TEST(Compression, BombStopsAtTheCapOfDecodedBytes)
{
    // 96 MiB of zeros in about a hundred kilobytes.
    QByteArray zeros(qsizetype(96) << 20, '\0');
    const QByteArray bomb = Compress(zeros, 31, Z_BEST_SPEED);
    zeros = QByteArray();
    ASSERT_LT(bomb.size(), 1 << 20);
    MemoryStream stream(Encoded("gzip", bomb), 64 * 1024);
    ResponseReader reader(stream, 0);
    ResponseHead head;
    ASSERT_TRUE(reader.readHead(head));
    QByteArray body;
    const FetchResult result = reader.readBody(head, &body);
    ASSERT_TRUE(result) << result.text.toStdString();
    EXPECT_EQ(body.size(), ResponseReader::MaxBodyBytes);
    // Grown within the cap, never doubled past it.
    EXPECT_LE(body.capacity(), ResponseReader::MaxBodyBytes);
    EXPECT_FALSE(reader.reusable());
}

TEST(Compression, CodingNames)
{
    BodyDecoder::Coding coding;
    EXPECT_TRUE(BodyDecoder::codingOf("", coding));
    EXPECT_EQ(coding, BodyDecoder::Coding::Identity);
    EXPECT_TRUE(BodyDecoder::codingOf(" Identity ", coding));
    EXPECT_EQ(coding, BodyDecoder::Coding::Identity);
    EXPECT_TRUE(BodyDecoder::codingOf("X-GZIP", coding));
    EXPECT_EQ(coding, BodyDecoder::Coding::Gzip);
    EXPECT_TRUE(BodyDecoder::codingOf(" deflate ,identity", coding));
    EXPECT_EQ(coding, BodyDecoder::Coding::Deflate);
    EXPECT_EQ(BodyDecoder::codingOf("zstd", coding).text,
              QStringLiteral("Page compressed as zstd, which cannot be read"));
    EXPECT_EQ(BodyDecoder::codingOf("gzip, br", coding).text,
              QStringLiteral("Page compressed as gzip, br, which cannot be read"));
}

}  // namespace
