#include "check/BodyDecoder.h"

#include <algorithm>
#include <zlib.h>

namespace {

constexpr qsizetype ChunkSize = 32 * 1024;

QByteArray TrimmedLower(QByteArrayView text)
{
    return text.trimmed().toByteArray().toLower();
}

// RFC 1950: a zlib stream starts with a method of 8 and a header check that is a multiple of 31.
bool ZlibHeader(unsigned char first, unsigned char second)
{
    return (first & 0x0f) == 8 && (first >> 4) <= 7 && ((first << 8) | second) % 31 == 0;
}

}  // namespace

struct BodyDecoder::Stream {
    z_stream z{};
    bool ready = false;
    ~Stream()
    {
        if (ready)
            inflateEnd(&z);
    }
};

void ReserveWithin(QByteArray& body, qsizetype needed, qsizetype cap)
{
    if (needed <= body.capacity())
        return;
    const qsizetype grown = std::max<qsizetype>({needed, body.capacity() * 2, 64 * 1024});
    body.reserve(std::min(std::max(grown, needed), std::max(cap, needed)));
}

FetchResult BodyDecoder::codingOf(QByteArrayView contentEncoding, Coding& coding)
{
    coding = Coding::Identity;
    QList<QByteArray> named;
    for (const QByteArray& part : contentEncoding.toByteArray().split(',')) {
        const QByteArray name = TrimmedLower(part);
        if (!name.isEmpty() && name != "identity")
            named.append(name);
    }
    if (named.isEmpty())
        return {};
    if (named.size() == 1) {
        if (named[0] == "gzip" || named[0] == "x-gzip") {
            coding = Coding::Gzip;
            return {};
        }
        if (named[0] == "deflate") {
            coding = Coding::Deflate;
            return {};
        }
    }
    QByteArray shown = named.join(", ");
    if (shown.size() > 40)
        shown = shown.first(40) + "...";
    return FetchResult::failure(
        FetchError::ReadFailed,
        QStringLiteral("Page compressed as %1, which cannot be read").arg(QString::fromLatin1(shown)));
}

BodyDecoder::BodyDecoder(Coding coding) : m_coding(coding)
{
}

BodyDecoder::~BodyDecoder() = default;

FetchResult BodyDecoder::start(const char* data, qsizetype size)
{
    // Some servers send raw deflate data for "deflate"; the first two bytes tell.
    int windowBits = 15 + 16;
    if (m_coding == Coding::Deflate) {
        m_head.append(data, std::min<qsizetype>(size, 2 - m_head.size()));
        if (m_head.size() < 2)
            return {};
        windowBits =
            ZlibHeader(static_cast<unsigned char>(m_head[0]), static_cast<unsigned char>(m_head[1])) ? 15 : -15;
    }
    m_stream = std::make_unique<Stream>();
    if (inflateInit2(&m_stream->z, windowBits) != Z_OK) {
        m_stream.reset();
        return FetchResult::failure(FetchError::ReadFailed, QStringLiteral("Page cannot be decompressed"));
    }
    m_stream->ready = true;
    return {};
}

FetchResult BodyDecoder::feed(const char* data, qsizetype size, QByteArray& out, qsizetype limit, bool& full)
{
    full = out.size() >= limit;
    if (m_ended || size <= 0 || full)
        return {};
    QByteArray held;
    if (!m_stream) {
        const qsizetype before = m_head.size();
        if (FetchResult r = start(data, size); !r)
            return r;
        if (!m_stream)
            return {};  // one byte of a deflate body: wait for the second
        // The bytes kept to look at go first.
        if (before > 0) {
            held = m_head;
            held.append(data + (2 - before), size - (2 - before));
            data = held.constData();
            size = held.size();
        }
    }
    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(size);
    char chunk[ChunkSize];
    while (z.avail_in > 0 && !full) {
        const qsizetype room = std::min(ChunkSize, limit - out.size());
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const qsizetype made = room - static_cast<qsizetype>(z.avail_out);
        if (made > 0) {
            ReserveWithin(out, out.size() + made, limit);
            out.append(chunk, made);
        }
        full = out.size() >= limit;
        if (rc == Z_STREAM_END) {
            // A gzip body may hold several members one after the other; anything else after the end
            // is ignored.
            if (m_coding == Coding::Gzip && z.avail_in >= 2 && z.next_in[0] == 0x1f && z.next_in[1] == 0x8b) {
                inflateReset(&z);
                continue;
            }
            m_ended = true;
            break;
        }
        if (rc == Z_BUF_ERROR && made == 0)
            break;  // needs more input
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return FetchResult::failure(
                FetchError::ReadFailed,
                QStringLiteral("Page cannot be decompressed: its %1 data is corrupt")
                    .arg(m_coding == Coding::Gzip ? QStringLiteral("gzip") : QStringLiteral("deflate")));
    }
    return {};
}
