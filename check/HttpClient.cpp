#include "check/HttpClient.h"

#include "check/ByteStream.h"
#include "check/CookieJar.h"
#include "check/DeadlineWatcher.h"
#include "check/FetchReasons.h"
#include "check/HttpUrl.h"
#include "check/Resolver.h"
#include "check/ResponseReader.h"
#include "check/RetryPolicy.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

qint64 MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Watches a fetch's total time for as long as it lives.
class TotalTime {
public:
    TotalTime(CancelToken& token, int totalMs)
    {
        token.clearDeadline();
        if (totalMs > 0)
            m_id = DeadlineWatcher::shared().watch(token, Clock::now() + std::chrono::milliseconds(totalMs));
    }
    ~TotalTime()
    {
        if (m_id != 0)
            DeadlineWatcher::shared().unwatch(m_id);
    }
    TotalTime(const TotalTime&) = delete;
    TotalTime& operator=(const TotalTime&) = delete;

private:
    quint64 m_id = 0;
};

}  // namespace

HttpClient::HttpClient(HttpClientConfig config)
    : m_config(std::move(config)), m_resolver(m_config.resolver ? m_config.resolver : CurrentResolver())
{
}

HttpClient::~HttpClient() = default;

bool HttpClient::connected() const
{
    return m_connection != nullptr;
}

void HttpClient::disconnect()
{
    m_connection.reset();
}

void HttpClient::abort()
{
    m_cancel.cancel();
}

FetchResult HttpClient::stopped() const
{
    if (m_cancel.cause() == CancelToken::Cause::Deadline)
        return FetchResult::failure(FetchError::ReadTimeout, TotalTimeReason(m_config.totalTimeoutMs));
    return FetchResult::failure(FetchError::Aborted, AbortedReason());
}

FetchResult HttpClient::get(QByteArrayView url)
{
    const auto start = Clock::now();
    m_bytesReceived = 0;
    const TotalTime totalTime(m_cancel, m_config.totalTimeoutMs);
    std::vector<FetchAttempt> attempts;
    FetchResult result;
    qint64 waitMs = 0;
    for (;;) {
        const auto attemptStart = Clock::now();
        const qint64 bytesBefore = m_bytesReceived;
        result = attempt(url);
        attempts.push_back(
            {result.error, result.status, result.text, waitMs, MsSince(attemptStart), m_bytesReceived - bytesBefore});
        if (result || !m_config.retry || attempts.size() > 1 || m_cancel.cancelled())
            break;
        const RetryPlan plan =
            PlanRetry(result, m_config.retryPauseMs, m_config.longestRetryAfterMs, QDateTime::currentDateTimeUtc());
        if (!plan.refusal.isEmpty()) {
            result.text = plan.refusal;
            attempts.back().reason = plan.refusal;
        }
        // A pause that would outlast the total time only delays the same failure.
        if (!plan.retry || (m_config.totalTimeoutMs > 0 && MsSince(start) + plan.pauseMs >= m_config.totalTimeoutMs))
            break;
        const auto pauseStart = Clock::now();
        if (!m_cancel.sleepFor(plan.pauseMs)) {
            FetchResult last = stopped();
            attempts.push_back({last.error, 0, last.text, MsSince(pauseStart), 0, 0});
            last.finalUrl = std::move(result.finalUrl);
            last.redirects = std::move(result.redirects);
            last.headers = std::move(result.headers);
            result = std::move(last);
            break;
        }
        waitMs = plan.pauseMs;
    }
    result.attempts = std::move(attempts);
    result.bytesReceived = m_bytesReceived;
    result.elapsedMs = MsSince(start);
    return result;
}

// One try of the whole fetch. How it went is gathered beside its outcome and joined to it at the
// end, whatever step the outcome comes from.
FetchResult HttpClient::attempt(QByteArrayView url)
{
    FetchResult record;
    FetchResult result = m_cancel.cancelled() ? stopped() : fetch(url, record);
    disconnect();
    m_pass.release();
    // An abort wins over anything; the end of the total time only over a failure, since a page read
    // whole is not made worse by the time running out just after.
    if (m_cancel.cause() == CancelToken::Cause::Abort || (!result && m_cancel.cancelled()))
        result = stopped();
    result.finalUrl = std::move(record.finalUrl);
    result.redirects = std::move(record.redirects);
    result.headers = std::move(record.headers);
    return result;
}

FetchResult HttpClient::passGate(const HttpUrl& url)
{
    const QByteArray host = url.address().toLower();
    if (!m_pass.holds(host)) {
        m_pass.release();
        if (FetchResult r = HostGate::shared().enter(host, m_config.perHostLimit, m_cancel, m_pass); !r)
            return r;
    }
    if (!m_pass.pace(m_config.hostDelayMs, m_cancel))
        return stopped();
    return {};
}

FetchResult HttpClient::fetch(QByteArrayView url, FetchResult& record)
{
    CookieJar cookies;
    HttpUrl previous;
    QByteArray next = url.toByteArray();
    record.finalUrl = next;
    for (int count = 1;; ++count) {
        const UrlResult parsed = ParseRequestUrl(next, count > 1 ? &previous : nullptr);
        if (!parsed.failure)
            return parsed.failure;
        const HttpUrl& current = parsed.url;
        record.finalUrl = current.displayUrl();
        Route target;
        if (FetchResult r = route(current, target); !r)
            return r;
        if (FetchResult r = passGate(current); !r)
            return r;
        ResponseHead head;
        if (FetchResult r = exchange(target, current, cookies, head); !r)
            return r;
        cookies.take(current, head);
        record.headers = head.headers;
        std::optional<qint64> length;
        if (FetchResult r = head.contentLength(length); !r) {
            disconnect();
            return r;
        }

        const QByteArray location = head.value("Location");
        const bool redirect = (head.status >= 300 && head.status < 400 && head.status != 304) || !location.isEmpty();
        if (redirect && m_config.followRedirects) {
            readBody(head, nullptr, m_config.redirectDrainMs);
            record.redirects.push_back({record.finalUrl, head.status});
            if (count >= MaxRequests) {
                FetchResult last;
                last.status = head.status;
                return last;
            }
            next = location;
            previous = current;
            continue;
        }
        if (head.status >= 200 && head.status < 300 && !redirect) {
            if (head.cutOff)
                return FetchResult::failure(
                    FetchError::HttpStatus,
                    QStringLiteral("%1, but its headers were cut off").arg(StatusReason(head.status)), head.status);
            FetchResult page;
            page.status = head.status;
            if (FetchResult r = readBody(head, &page.body, 0); !r) {
                r.status = head.status;
                return r;
            }
            return page;
        }
        readBody(head, nullptr, m_config.errorDrainMs);
        return FetchResult::failure(FetchError::HttpStatus, StatusReason(head.status), head.status);
    }
}
