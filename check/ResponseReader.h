#pragma once

#include "check/BodyDecoder.h"
#include "check/ByteStream.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

// The status line and header section of one response.
struct ResponseHead {
    int status = -1;  // the second blank-separated word of the status line; -1 when missing or not a number
    QList<std::pair<QByteArray, QByteArray>> headers;  // names as sent, values trimmed of blanks
    bool cutOff = false;                               // the server closed the connection inside the header section

    // The first header of that name (compared without regard to case), or an empty text.
    QByteArray value(QByteArrayView name) const;
    QList<QByteArray> values(QByteArrayView name) const;
    // "close" in Connection or Proxy-Connection.
    bool asksToClose() const;
    // The body length that Content-Length gives, nothing when there is none or it is not a number.
    // Every Content-Length header counts, each a list of numbers: a negative one, or two that
    // differ, leave the framing unknowable and are a failure (RFC 9112, section 6.3).
    FetchResult contentLength(std::optional<qint64>& length) const;
};

// Reads responses from a stream through a buffer of its own: lines end at LF (a CR before it is
// dropped), bodies follow HTTP/1.1 framing. A reader belongs to one connection for its whole life,
// because bytes it has buffered belong to the next response.
class ResponseReader {
public:
    static constexpr int MaxLineLength = 16384;
    // The bound on one response's status lines and headers together, 100-continue heads included.
    static constexpr qsizetype MaxHeadBytes = 1 << 20;
    static constexpr qsizetype MaxBodyBytes = qsizetype(64) << 20;

    // readTimeoutMs: the longest wait for any byte; 0 means none.
    // Every byte read from the stream is also added to `*received` when given.
    ResponseReader(ByteStream& stream, int readTimeoutMs, qint64* received = nullptr);

    // Reads the status line and headers, skipping interim 100 responses.
    FetchResult readHead(ResponseHead& head);

    // Reads the body that `head` frames. With `body` null the bytes are dropped; otherwise a body
    // the server compressed (Content-Encoding) is decoded. The body stops at MaxBodyBytes, of bytes
    // received or decoded, with what it holds so far. `deadline`, when set, ends the read without
    // failure once it passes, leaving the connection unusable.
    FetchResult readBody(const ResponseHead& head, QByteArray* body,
                         std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

    // True when the last response ended where its framing said and nothing followed it, so the
    // connection may carry another request.
    bool reusable() const { return m_reusable; }
    // True while no byte of the current response has arrived (lets a caller retry a stale connection).
    bool nothingReceived() const { return m_received == 0; }
    // Bytes that arrived after what has been read so far.
    qsizetype bufferedBytes() const { return m_end - m_begin; }

private:
    enum class LineEnd { Line, Closed, Failed };
    LineEnd readLine(QByteArray& line, FetchResult& failure, qsizetype& headBudget);
    FetchResult fill();
    FetchResult readExactly(qsizetype count, QByteArray* body, bool& closedEarly);
    FetchResult readUntilClose(QByteArray* body);
    FetchResult readChunked(QByteArray* body);
    FetchResult append(QByteArray* body, const char* data, qsizetype size);
    int nextTimeout() const;

    ByteStream& m_stream;
    int m_readTimeoutMs;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    bool m_closed = false;
    bool m_reusable = false;
    bool m_capped = false;
    qsizetype m_received = 0;
    qint64* m_receivedTotal = nullptr;
    qsizetype m_bodySize = 0;  // bytes of the body received so far
    std::unique_ptr<BodyDecoder> m_decoder;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
};
