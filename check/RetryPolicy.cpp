#include "check/RetryPolicy.h"

#include "check/FetchReasons.h"

#include <QLocale>

#include <algorithm>

namespace {

bool PassingStatus(int status)
{
    return status == 429 || status == 502 || status == 503 || status == 504;
}

}  // namespace

std::optional<qint64> RetryAfterMs(QByteArrayView value, const QDateTime& now)
{
    const QByteArray text = value.trimmed().toByteArray();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Saturated: a wait of more than a year is as long as any other too long one.
        if (text.size() > 8)
            return qint64(99999999) * 1000;
        return text.toLongLong() * 1000;
    }
    // IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT", as the C locale writes it.
    QString date = QString::fromLatin1(text);
    if (!date.endsWith(QStringLiteral(" GMT")))
        return std::nullopt;
    date.chop(4);
    QDateTime when = QLocale::c().toDateTime(date, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
    if (!when.isValid())
        return std::nullopt;
    when.setTimeSpec(Qt::UTC);
    // In whole seconds, rounded up: the date has a resolution of one second.
    const qint64 ms = std::max<qint64>(now.msecsTo(when), 0);
    return (ms + 999) / 1000 * 1000;
}

RetryPlan PlanRetry(const FetchResult& failed, qint64 pauseMs, qint64 longestWaitMs, const QDateTime& now)
{
    RetryPlan plan;
    plan.pauseMs = pauseMs;
    switch (failed.error) {
    case FetchError::ConnectTimeout:
    case FetchError::ReadTimeout: plan.retry = true; break;
    case FetchError::ConnectFailed:
    case FetchError::SendFailed:
    case FetchError::ReadFailed: plan.retry = failed.reset; break;
    case FetchError::HttpStatus: plan.retry = PassingStatus(failed.status); break;
    default: break;
    }
    if (!plan.retry || !(failed.status == 429 || failed.status == 503) || failed.error != FetchError::HttpStatus)
        return plan;
    if (const std::optional<qint64> asked = RetryAfterMs(failed.header("Retry-After"), now)) {
        if (*asked > longestWaitMs) {
            plan.retry = false;
            plan.refusal =
                QStringLiteral("%1; the server asks to wait %2").arg(StatusReason(failed.status), Seconds(*asked));
        } else {
            plan.pauseMs = *asked;
        }
    }
    return plan;
}
