#include "check/ResponseReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype BufferSize = 32 * 1024;
using Clock = std::chrono::steady_clock;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray TrimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

// The second blank-separated word as a decimal number, or -1.
int ParseStatus(QByteArrayView line)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && line[i] == ' ')
        ++i;
    while (i < n && line[i] != ' ')
        ++i;
    while (i < n && line[i] == ' ')
        ++i;
    qsizetype end = i;
    while (end < n && line[end] != ' ')
        ++end;
    if (end == i || end - i > 9)
        return -1;
    int code = 0;
    for (qsizetype k = i; k < end; ++k) {
        if (line[k] < '0' || line[k] > '9')
            return -1;
        code = code * 10 + (line[k] - '0');
    }
    return code;
}

// A decimal number with an optional sign, saturated; nullopt when the text is not a number.
std::optional<qint64> ParseLength(QByteArrayView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (text[i] - '0'), std::numeric_limits<qint64>::max() / 16);
    }
    return negative ? -value : value;
}

// The chunk size: the line up to its first blank (or a chunk extension) as a hexadecimal number,
// saturated; nullopt when it is not one.
std::optional<qint64> ParseChunkSize(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && !IsBlank(line[end]) && line[end] != ';')
        ++end;
    if (end == 0)
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = line[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = std::min<qint64>(value * 16 + digit, std::numeric_limits<qint64>::max() / 32);
    }
    return value;
}

bool NamesChunked(QByteArrayView value)
{
    return QByteArrayView(value).toByteArray().toLower().contains("chunked");
}

}  // namespace

QByteArray ResponseHead::value(QByteArrayView name) const
{
    for (const auto& [key, text] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return text;
    }
    return {};
}

QList<QByteArray> ResponseHead::values(QByteArrayView name) const
{
    QList<QByteArray> found;
    for (const auto& [key, text] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            found.append(text);
    }
    return found;
}

FetchResult ResponseHead::contentLength(std::optional<qint64>& length) const
{
    length.reset();
    bool unreadable = false;
    for (const QByteArray& value : values("Content-Length")) {
        for (const QByteArray& part : value.split(',')) {
            const std::optional<qint64> number = ParseLength(part);
            if (!number) {
                unreadable = true;
                continue;
            }
            if (*number < 0)
                return FetchResult::failure(FetchError::ReadFailed,
                                            QStringLiteral("Answer with a negative Content-Length"), status);
            if (length && *length != *number)
                return FetchResult::failure(FetchError::ReadFailed,
                                            QStringLiteral("Answer with two different Content-Length values"), status);
            length = number;
        }
    }
    // A header that is not a number (alone or beside numbers) frames nothing: the body runs to the close.
    if (unreadable)
        length.reset();
    return {};
}

bool ResponseHead::asksToClose() const
{
    for (const auto& [key, text] : headers) {
        if ((key.compare("Connection", Qt::CaseInsensitive) == 0 ||
             key.compare("Proxy-Connection", Qt::CaseInsensitive) == 0) &&
            text.compare("close", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

ResponseReader::ResponseReader(ByteStream& stream, int readTimeoutMs, qint64* received)
    : m_stream(stream), m_readTimeoutMs(readTimeoutMs), m_buffer(new char[BufferSize]), m_receivedTotal(received)
{
}

int ResponseReader::nextTimeout() const
{
    int timeout = m_readTimeoutMs > 0 ? m_readTimeoutMs : -1;
    if (m_deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_deadline - Clock::now()).count();
        const int bounded = static_cast<int>(std::clamp<qint64>(left, 1, std::numeric_limits<int>::max()));
        timeout = timeout < 0 ? bounded : std::min(timeout, bounded);
    }
    return timeout;
}

FetchResult ResponseReader::fill()
{
    if (m_begin == m_end) {
        m_begin = m_end = 0;
    } else if (m_end == BufferSize) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, static_cast<std::size_t>(m_end - m_begin));
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_deadline && Clock::now() >= *m_deadline)
        return FetchResult::failure(FetchError::ReadTimeout, QStringLiteral("No more time for the rest of the answer"));
    const StreamIo io =
        m_stream.read(m_buffer.get() + m_end, static_cast<std::size_t>(BufferSize - m_end), nextTimeout());
    if (io.failed()) {
        m_closed = true;
        return io.asResult();
    }
    if (io.bytes == 0)
        m_closed = true;
    m_end += io.bytes;
    m_received += io.bytes;
    if (m_receivedTotal)
        *m_receivedTotal += io.bytes;
    return {};
}

ResponseReader::LineEnd ResponseReader::readLine(QByteArray& line, FetchResult& failure, qsizetype& headBudget)
{
    line.clear();
    for (;;) {
        const char* start = m_buffer.get() + m_begin;
        const qsizetype available = m_end - m_begin;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(available)));
        const qsizetype take = lf ? lf - start : available;
        // One byte more than the limit may be the CR of the line end.
        if (line.size() + take > MaxLineLength + 1) {
            failure =
                FetchResult::failure(FetchError::LineTooLong, QStringLiteral("Header line longer than 16384 bytes"));
            return LineEnd::Failed;
        }
        line.append(start, take);
        const qsizetype used = take + (lf ? 1 : 0);
        m_begin += used;
        headBudget -= used;
        if (lf) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > MaxLineLength) {
                failure = FetchResult::failure(FetchError::LineTooLong,
                                               QStringLiteral("Header line longer than 16384 bytes"));
                return LineEnd::Failed;
            }
            if (headBudget < 0) {
                failure =
                    FetchResult::failure(FetchError::LineTooLong, QStringLiteral("Header section larger than 1 MiB"));
                return LineEnd::Failed;
            }
            return LineEnd::Line;
        }
        if (m_closed)
            return LineEnd::Closed;
        failure = fill();
        if (!failure)
            return LineEnd::Failed;
    }
}

FetchResult ResponseReader::readHead(ResponseHead& head)
{
    head = ResponseHead{};
    m_reusable = false;
    m_deadline.reset();
    m_received = m_end - m_begin;
    qsizetype budget = MaxHeadBytes;
    QByteArray line;
    FetchResult failure;
    for (;;) {
        do {
            switch (readLine(line, failure, budget)) {
            case LineEnd::Failed: return failure;
            case LineEnd::Closed:
                return FetchResult::failure(FetchError::ConnectionClosed,
                                            QStringLiteral("Server closed the connection without an answer"));
            case LineEnd::Line: break;
            }
        } while (line.isEmpty());  // tolerate blank lines a server left after the previous response
        head.status = ParseStatus(line);
        head.headers.clear();
        for (;;) {
            const LineEnd end = readLine(line, failure, budget);
            if (end == LineEnd::Failed)
                return failure;
            if (end == LineEnd::Closed) {
                // What arrived so far counts; a partial last line does not.
                head.cutOff = true;
                return {};
            }
            if (line.isEmpty())
                break;
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            head.headers.append(
                {TrimBlanks(QByteArrayView(line).first(colon)), TrimBlanks(QByteArrayView(line).sliced(colon + 1))});
        }
        if (head.status != 100)
            return {};
    }
}

FetchResult ResponseReader::append(QByteArray* body, const char* data, qsizetype size)
{
    if (m_bodySize + size > MaxBodyBytes) {
        size = MaxBodyBytes - m_bodySize;
        m_capped = true;
    }
    m_bodySize += size;
    if (!body)
        return {};
    if (m_decoder) {
        bool full = false;
        FetchResult r = m_decoder->feed(data, size, *body, MaxBodyBytes, full);
        m_capped = m_capped || full;
        return r;
    }
    ReserveWithin(*body, body->size() + size, MaxBodyBytes);
    body->append(data, size);
    return {};
}

FetchResult ResponseReader::readExactly(qsizetype count, QByteArray* body, bool& closedEarly)
{
    closedEarly = false;
    while (count > 0 && !m_capped) {
        const qsizetype take = std::min(count, m_end - m_begin);
        if (FetchResult r = append(body, m_buffer.get() + m_begin, take); !r)
            return r;
        m_begin += take;
        count -= take;
        if (count == 0 || m_capped)
            break;
        if (m_closed) {
            closedEarly = true;
            break;
        }
        if (FetchResult r = fill(); !r)
            return r;
    }
    return {};
}

FetchResult ResponseReader::readUntilClose(QByteArray* body)
{
    for (;;) {
        if (FetchResult r = append(body, m_buffer.get() + m_begin, m_end - m_begin); !r)
            return r;
        m_begin = m_end;
        if (m_closed || m_capped)
            return {};
        if (FetchResult r = fill(); !r)
            return r;
    }
}

FetchResult ResponseReader::readChunked(QByteArray* body)
{
    QByteArray line;
    FetchResult failure;
    const auto closed = [] {
        return FetchResult::failure(FetchError::ConnectionClosed,
                                    QStringLiteral("Server closed the connection inside the page"));
    };
    for (;;) {
        qsizetype budget = std::numeric_limits<qsizetype>::max();
        LineEnd end = readLine(line, failure, budget);
        if (end == LineEnd::Failed)
            return failure;
        if (end == LineEnd::Closed)
            return closed();
        const std::optional<qint64> size = ParseChunkSize(line);
        if (!size)
            return {};  // a size that is not a number ends the body where it is
        if (*size == 0) {
            // Trailer fields, up to the empty line that ends the message.
            qsizetype trailerBudget = MaxHeadBytes;
            do {
                end = readLine(line, failure, trailerBudget);
                if (end == LineEnd::Failed)
                    return failure;
                if (end == LineEnd::Closed)
                    return {};
            } while (!line.isEmpty());
            m_reusable = true;
            return {};
        }
        bool closedEarly = false;
        if (FetchResult r = readExactly(*size, body, closedEarly); !r)
            return r;
        if (m_capped)
            return {};
        if (closedEarly)
            return closed();
        end = readLine(line, failure, budget);
        if (end == LineEnd::Failed)
            return failure;
        if (end == LineEnd::Closed)
            return closed();
    }
}

FetchResult ResponseReader::readBody(const ResponseHead& head, QByteArray* body,
                                     std::optional<std::chrono::steady_clock::time_point> deadline)
{
    m_deadline = deadline;
    m_reusable = false;
    m_capped = false;
    m_bodySize = 0;
    m_decoder.reset();
    bool complete = false;

    std::optional<qint64> length;
    FetchResult result = head.contentLength(length);
    const bool noBody = (head.status >= 100 && head.status < 200) || head.status == 204 || head.status == 304;
    if (result && body && !noBody) {
        BodyDecoder::Coding coding = BodyDecoder::Coding::Identity;
        result = BodyDecoder::codingOf(head.value("Content-Encoding"), coding);
        if (coding != BodyDecoder::Coding::Identity)
            m_decoder = std::make_unique<BodyDecoder>(coding);
    }
    if (!result) {
        // The framing is unknowable or the body unreadable: the connection cannot carry another request.
    } else if (noBody) {
        complete = true;
    } else if (length && *length >= 1) {
        // One allocation for a body whose size is announced, never more than the cap.
        if (body && !m_decoder)
            body->reserve(body->size() + static_cast<qsizetype>(std::min<qint64>(*length, MaxBodyBytes)));
        bool closedEarly = false;
        result = readExactly(static_cast<qsizetype>(std::min<qint64>(*length, MaxBodyBytes + 1)), body, closedEarly);
        complete = result && !closedEarly && !m_capped;
    } else if (NamesChunked(head.value("Transfer-Encoding"))) {
        result = readChunked(body);
        complete = m_reusable && !m_capped;
    } else if (!length) {
        result = readUntilClose(body);
    } else {
        complete = true;
    }

    if (!result && m_deadline && Clock::now() >= *m_deadline)
        result = {};  // the time allowed for an unwanted body is up: drop the rest with the connection
    m_deadline.reset();
    m_decoder.reset();
    m_reusable = result && complete && !m_closed && !head.cutOff && !head.asksToClose() && m_begin == m_end;
    return result;
}
