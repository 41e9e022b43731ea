// Compressed page bodies from a hostile server: arbitrary bytes as a gzip or deflate body, framed by
// Content-Length, chunks or the close, through the response reader's decoding.
#include "check/BodyDecoder.h"
#include "check/MemoryStream.h"
#include "check/ResponseReader.h"

#include <cstdint>
#include <cstdlib>

namespace {

const char* const Codings[] = {"gzip", "deflate", "x-gzip", "gzip, identity", "br", "deflate, gzip"};

QByteArray Chunked(QByteArrayView body, std::size_t piece)
{
    QByteArray out;
    const qsizetype step = static_cast<qsizetype>(piece) + 1;
    for (qsizetype at = 0; at < body.size(); at += step) {
        const QByteArrayView chunk = body.sliced(at, std::min(step, body.size() - at));
        out += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk.toByteArray() + "\r\n";
    }
    return out + "0\r\n\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the coding and the framing, the second how the bytes arrive.
    const char* coding = Codings[(data[0] & 0x0f) % std::size(Codings)];
    const int framing = (data[0] >> 4) % 3;
    const std::size_t piece = data[1];
    const QByteArrayView body(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    QByteArray response = "HTTP/1.1 200 OK\r\nContent-Encoding: " + QByteArray(coding) + "\r\n";
    if (framing == 0)
        response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body.toByteArray();
    else if (framing == 1)
        response += "Transfer-Encoding: chunked\r\n\r\n" + Chunked(body, piece);
    else
        response += "\r\n" + body.toByteArray();

    MemoryStream stream(response, piece);
    ResponseReader reader(stream, 0);
    ResponseHead head;
    if (!reader.readHead(head))
        std::abort();  // the head is well formed
    QByteArray page;
    const FetchResult result = reader.readBody(head, &page);
    if (page.size() > ResponseReader::MaxBodyBytes || page.capacity() > ResponseReader::MaxBodyBytes)
        std::abort();
    if (!result && result.text.isEmpty())
        std::abort();  // every failure says why

    // The decoder alone, with a small limit: it never makes more than it is allowed.
    BodyDecoder::Coding kind;
    if (BodyDecoder::codingOf(coding, kind) && kind != BodyDecoder::Coding::Identity) {
        BodyDecoder decoder(kind);
        QByteArray out;
        const qsizetype limit = static_cast<qsizetype>(piece) * 64;
        bool full = false;
        for (qsizetype at = 0; at < body.size() && !full; at += 7) {
            const QByteArrayView part = body.sliced(at, std::min<qsizetype>(7, body.size() - at));
            if (!decoder.feed(part.data(), part.size(), out, limit, full))
                break;
            if (out.size() > limit)
                std::abort();
        }
    }
    return 0;
}
