// A page address and a Location value (split at the first line feed) through URL parsing and
// Location resolution.
#include "check/HttpUrl.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(const HttpUrl& url)
{
    if (!url.path.startsWith('/') || url.host.isEmpty() || url.portText.isEmpty())
        std::abort();
    for (const QByteArray& text : {url.path, url.host, url.absoluteTarget(), url.hostHeader()}) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 32 || c == 127 || c == '\\')
                std::abort();  // nothing may end the request line or start a header
        }
    }
    if (url.path.contains('#'))
        std::abort();
    // A request target is one word of the request line: encoded, never raw.
    for (const char c : url.path) {
        if (c == ' ' || static_cast<unsigned char>(c) > 126)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\n');
    const QByteArray page = split < 0 ? input : input.first(split);
    const UrlResult first = ParseRequestUrl(page, nullptr);
    if (!first.failure)
        return 0;
    Check(first.url);
    if (split < 0)
        return 0;
    const UrlResult next = ParseRequestUrl(QByteArrayView(input).sliced(split + 1), &first.url);
    if (next.failure) {
        Check(next.url);
        // A redirect goes over HTTP or HTTPS, or nowhere; only a relative one keeps the page's scheme.
        if (next.url.scheme.compare("http", Qt::CaseInsensitive) != 0 && !next.url.isHttps() &&
            next.url.scheme != first.url.scheme)
            std::abort();
    }
    RemoveDotSegments(QByteArrayView(input).sliced(split + 1));
    return 0;
}
