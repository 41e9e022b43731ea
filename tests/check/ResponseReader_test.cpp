#include "check/MemoryStream.h"
#include "check/ResponseReader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Read {
    FetchResult head;
    ResponseHead response;
    FetchResult body;
    QByteArray bytes;
    bool reusable = false;
};

// Reads one response from `input`, handed out `piece` bytes at a time (0: all at once).
Read ReadResponse(const QByteArray& input, std::size_t piece = 0, FetchError errorAtEnd = FetchError::None)
{
    MemoryStream stream(input, piece);
    stream.setErrorAtEnd(errorAtEnd);
    ResponseReader reader(stream, 0);
    Read read;
    read.head = reader.readHead(read.response);
    if (read.head) {
        read.body = reader.readBody(read.response, &read.bytes);
        read.reusable = reader.reusable();
    }
    return read;
}

// Every response is read whole and in single bytes, so no buffer boundary changes the result.
class PieceSize : public ::testing::TestWithParam<std::size_t> {};
INSTANTIATE_TEST_SUITE_P(ResponseReader, PieceSize, ::testing::Values(0, 1, 7));

TEST_P(PieceSize, StatusIsTheSecondWordAndInterim100IsSkipped)
{
    const Read read = ReadResponse("HTTP/1.1 100 Continue\r\nX: 1\r\n\r\nHTTP/1.1 100\r\n\r\n"
                                   "HTTP/1.1   200   OK\r\nContent-Length: 2\r\n\r\nhi",
                                   GetParam());
    ASSERT_TRUE(read.head);
    EXPECT_EQ(read.response.status, 200);
    EXPECT_EQ(read.bytes, "hi");
    EXPECT_EQ(ReadResponse("HTTP/1.1 2OO OK\r\n\r\n", GetParam()).response.status, -1);
    EXPECT_EQ(ReadResponse("HTTP/1.1\r\n\r\n", GetParam()).response.status, -1);
    EXPECT_EQ(ReadResponse("garbage\n\n", GetParam()).response.status, -1);
}

TEST_P(PieceSize, HeadersAreTrimmedAndFoundRegardlessOfCase)
{
    const Read read = ReadResponse("HTTP/1.1 200 OK\nlocation: \t /x \t\nCONNECTION:  Close \nno colon here\n"
                                   "Content-Length: 0\n\n",
                                   GetParam());
    ASSERT_TRUE(read.head);
    EXPECT_EQ(read.response.value("Location"), "/x");
    EXPECT_TRUE(read.response.asksToClose());
    EXPECT_EQ(read.response.headers.size(), 3);
    EXPECT_FALSE(read.reusable);
}

TEST_P(PieceSize, ContentLengthFramesTheBodyExactly)
{
    const Read read = ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", GetParam());
    EXPECT_EQ(read.bytes, "hello");
    EXPECT_TRUE(read.reusable);
    const Read extra = ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello, world", GetParam());
    EXPECT_EQ(extra.bytes, "hello");
    if (GetParam() == 0) {
        EXPECT_FALSE(extra.reusable);  // bytes nobody asked for are already buffered
    }
}

TEST_P(PieceSize, EarlyCloseInsideContentLengthKeepsWhatArrived)
{
    const Read read = ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", GetParam());
    EXPECT_TRUE(read.body);
    EXPECT_EQ(read.bytes, "partial");
    EXPECT_FALSE(read.reusable);
}

TEST_P(PieceSize, ZeroLengthIsEmptyAndAnUnreadableOneReadsToTheClose)
{
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nignored", GetParam()).bytes, "");
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\nall of it", GetParam()).bytes, "all of it");
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\n\r\nall of it", GetParam()).bytes, "all of it");
    EXPECT_EQ(ReadResponse("HTTP/1.1 204 No Content\r\n\r\nstray", GetParam()).bytes, "");
}

TEST_P(PieceSize, NegativeOrConflictingLengthsFail)
{
    const struct {
        const char* headers;
        const char* reason;
    } bad[] = {
        {"Content-Length: -5\r\n", "Answer with a negative Content-Length"},
        {"Content-Length: 5, -5\r\n", "Answer with a negative Content-Length"},
        {"Content-Length: 3\r\nContent-Length: 5\r\n", "Answer with two different Content-Length values"},
        {"Content-Length: 3, 5\r\n", "Answer with two different Content-Length values"},
    };
    for (const auto& c : bad) {
        const Read read = ReadResponse("HTTP/1.1 200 OK\r\n" + QByteArray(c.headers) + "\r\nhello", GetParam());
        EXPECT_EQ(read.body.error, FetchError::ReadFailed) << c.headers;
        EXPECT_EQ(read.body.text, QString::fromLatin1(c.reason)) << c.headers;
        EXPECT_TRUE(read.bytes.isEmpty());
        EXPECT_FALSE(read.reusable);
    }
    // The same length twice is one length.
    const Read twice =
        ReadResponse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 5, 5\r\n\r\nhello!", GetParam());
    EXPECT_TRUE(twice.body);
    EXPECT_EQ(twice.bytes, "hello");
}

TEST_P(PieceSize, ChunkedBodies)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n";
    const Read plain = ReadResponse(head + "5\r\nhello\r\n7;ext=1\r\n, world\r\n0\r\n\r\n", GetParam());
    EXPECT_TRUE(plain.body);
    EXPECT_EQ(plain.bytes, "hello, world");
    EXPECT_TRUE(plain.reusable);
    const Read upper = ReadResponse(head + "A \r\n0123456789\r\n0\r\nTrailer: x\r\n\r\n", GetParam());
    EXPECT_EQ(upper.bytes, "0123456789");
    EXPECT_TRUE(upper.reusable);
    // A size that is not hexadecimal ends the body where it is.
    const Read odd = ReadResponse(head + "3\r\nabc\r\nzz\r\nmore", GetParam());
    EXPECT_TRUE(odd.body);
    EXPECT_EQ(odd.bytes, "abc");
    EXPECT_FALSE(odd.reusable);
    // A close after the last chunk loses nothing.
    EXPECT_TRUE(ReadResponse(head + "3\r\nabc\r\n0\r\n", GetParam()).body);
}

TEST_P(PieceSize, CloseInsideAChunkedBodyFails)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_EQ(ReadResponse(head + "10\r\nshort", GetParam()).body.error, FetchError::ConnectionClosed);
    EXPECT_EQ(ReadResponse(head + "3\r\nabc\r\n", GetParam()).body.error, FetchError::ConnectionClosed);
    EXPECT_EQ(ReadResponse(head + "3\r\nabc", GetParam()).body.error, FetchError::ConnectionClosed);
}

TEST_P(PieceSize, ContentLengthWinsOverChunked)
{
    const Read read =
        ReadResponse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n3\r\nabc", GetParam());
    EXPECT_EQ(read.bytes, "3\r\n");
}

TEST_P(PieceSize, CloseInsideTheHeadersKeepsTheHeadersReadSoFar)
{
    const Read read = ReadResponse("HTTP/1.1 302 Found\r\nLocation: /next\r\nSet-Cook", GetParam());
    ASSERT_TRUE(read.head);
    EXPECT_TRUE(read.response.cutOff);
    EXPECT_EQ(read.response.value("Location"), "/next");
    EXPECT_EQ(read.response.headers.size(), 1);
}

TEST_P(PieceSize, CloseBeforeOrInsideTheStatusLineFails)
{
    EXPECT_EQ(ReadResponse("", GetParam()).head.error, FetchError::ConnectionClosed);
    EXPECT_EQ(ReadResponse("HTTP/1.1 200", GetParam()).head.error, FetchError::ConnectionClosed);
    EXPECT_EQ(ReadResponse("\r\n\r\n", GetParam()).head.error, FetchError::ConnectionClosed);
}

TEST(ResponseReader, LinesUpTo16384BytesAreRead)
{
    const QByteArray value(16384 - 3, 'v');
    EXPECT_TRUE(ReadResponse("HTTP/1.1 200 OK\r\nX: " + value + "\r\n\r\n").head);
    EXPECT_TRUE(ReadResponse("HTTP/1.1 200 OK\nX: " + value + "\n\n").head);
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\nX: " + value + "v\r\n\r\n").head.error, FetchError::LineTooLong);
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 " + QByteArray(20000, 'K') + "\r\n\r\n").head.error, FetchError::LineTooLong);
    // Without a line end the line is refused as soon as it is too long, not when the server stops.
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\nX: " + QByteArray(100000, 'v')).head.error, FetchError::LineTooLong);
}

TEST(ResponseReader, HeaderSectionIsBounded)
{
    QByteArray many = "HTTP/1.1 200 OK\r\n";
    const QByteArray line = "X-Filler: " + QByteArray(1000, 'f') + "\r\n";
    while (many.size() <= ResponseReader::MaxHeadBytes)
        many += line;
    EXPECT_EQ(ReadResponse(many + "\r\n").head.error, FetchError::LineTooLong);
    QByteArray continues;
    while (continues.size() <= ResponseReader::MaxHeadBytes)
        continues += "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(ReadResponse(continues + "HTTP/1.1 200 OK\r\n\r\n").head.error, FetchError::LineTooLong);
}

TEST(ResponseReader, NetworkErrorInsideABodyReadToTheCloseFails)
{
    EXPECT_EQ(ReadResponse("HTTP/1.1 200 OK\r\n\r\nsome", 0, FetchError::ReadFailed).body.error,
              FetchError::ReadFailed);
}

// Hands out the same byte for ever, as a page that never ends.
class EndlessStream : public ByteStream {
public:
    explicit EndlessStream(QByteArray head) : m_head(std::move(head)) {}
    StreamIo read(char* data, std::size_t size, int) override
    {
        StreamIo io;
        if (m_pos < m_head.size()) {
            const auto n = std::min<qsizetype>(static_cast<qsizetype>(size), m_head.size() - m_pos);
            std::memcpy(data, m_head.constData() + m_pos, static_cast<std::size_t>(n));
            m_pos += n;
            io.bytes = n;
            return io;
        }
        std::memset(data, 'x', size);
        io.bytes = static_cast<std::ptrdiff_t>(size);
        return io;
    }
    StreamIo write(const char*, std::size_t size) override { return {static_cast<std::ptrdiff_t>(size)}; }
    bool idleAndOpen() override { return true; }

private:
    QByteArray m_head;
    qsizetype m_pos = 0;
};

TEST(ResponseReader, BodyStopsAt64MiBWithoutGrowingPastIt)
{
    for (const QByteArray& head :
         {QByteArray("HTTP/1.1 200 OK\r\n\r\n"),
          QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\n"),
          QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7FFFFFFFFFFFFFFFFFFF\r\n")}) {
        EndlessStream stream(head);
        ResponseReader reader(stream, 0);
        ResponseHead response;
        ASSERT_TRUE(reader.readHead(response));
        QByteArray body;
        EXPECT_TRUE(reader.readBody(response, &body));
        EXPECT_EQ(body.size(), ResponseReader::MaxBodyBytes);
        // Growth stops at the cap, so the page never costs twice its size while it arrives.
        EXPECT_LE(body.capacity(), ResponseReader::MaxBodyBytes);
        EXPECT_FALSE(reader.reusable());
    }
}

TEST(ResponseReader, DrainPastItsDeadlineEndsWithoutFailure)
{
    EndlessStream stream("HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n");
    ResponseReader reader(stream, 0);
    ResponseHead response;
    ASSERT_TRUE(reader.readHead(response));
    EXPECT_TRUE(reader.readBody(response, nullptr, std::chrono::steady_clock::now()));
    EXPECT_FALSE(reader.reusable());
}

TEST(ResponseReader, ConsecutiveResponsesOnOneConnection)
{
    MemoryStream stream("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\naHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb",
                        3);
    ResponseReader reader(stream, 0);
    ResponseHead head;
    QByteArray first;
    QByteArray second;
    ASSERT_TRUE(reader.readHead(head));
    ASSERT_TRUE(reader.readBody(head, &first));
    ASSERT_TRUE(reader.readHead(head));
    ASSERT_TRUE(reader.readBody(head, &second));
    EXPECT_EQ(first + second, "ab");
}

}  // namespace
