// Arbitrary server bytes through the response reader, the cookie jar and the retry's reading of
// Retry-After.
#include "check/CookieJar.h"
#include "check/HttpUrl.h"
#include "check/MemoryStream.h"
#include "check/ResponseReader.h"
#include "check/RetryPolicy.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks how the bytes arrive and whether the body is kept.
    const std::size_t piece = data[0] & 0x0f;
    const bool keep = data[0] & 0x10;
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)), piece);
    ResponseReader reader(stream, 0);
    const HttpUrl url = ParseRequestUrl("http://www.partner.test/dir/page.html", nullptr).url;
    CookieJar cookies;
    for (int response = 0; response < 3; ++response) {
        ResponseHead head;
        if (!reader.readHead(head))
            break;
        if (head.headers.size() > ResponseReader::MaxHeadBytes)
            std::abort();
        cookies.take(url, head);
        FetchResult failed = FetchResult::failure(FetchError::HttpStatus, QStringLiteral("x"), head.status);
        failed.headers = head.headers;
        const RetryPlan plan = PlanRetry(failed, 1000, 30000, QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC));
        if (plan.pauseMs < 0 || plan.pauseMs > 30000 || (plan.retry && !plan.refusal.isEmpty()))
            std::abort();
        const QByteArray cookie = cookies.headerFor(url);
        for (const char c : cookie) {
            if (static_cast<unsigned char>(c) < 32 || c == 127)
                std::abort();  // a cookie must never carry a line break into a request
        }
        QByteArray body;
        const FetchResult result = reader.readBody(head, keep ? &body : nullptr);
        if (body.size() > ResponseReader::MaxBodyBytes)
            std::abort();
        if (!result || !reader.reusable())
            break;
    }
    return 0;
}
