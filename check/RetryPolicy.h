#pragma once

#include "check/FetchResult.h"

#include <QDateTime>

#include <optional>

// Whether a failed fetch is tried once more, and after what pause.
struct RetryPlan {
    bool retry = false;
    qint64 pauseMs = 0;
    QString refusal;  // when the server asks for a longer wait than allowed: the reason the fetch fails with
};

// Passing faults are tried again: a connect or read time-out, a reset, and the statuses 429, 502,
// 503 and 504. For 429 and 503 the server's Retry-After sets the pause, up to `longestWaitMs`; a
// longer one refuses the retry, naming the wait. Otherwise the pause is `pauseMs`.
RetryPlan PlanRetry(const FetchResult& failed, qint64 pauseMs, qint64 longestWaitMs, const QDateTime& now);

// A Retry-After value as a wait: delay-seconds, or an HTTP-date counted from `now` (a date that has
// passed is no wait). Nothing when the value is neither.
std::optional<qint64> RetryAfterMs(QByteArrayView value, const QDateTime& now);
