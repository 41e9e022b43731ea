#include "model/Clock.h"

#include "model/DateTime.h"

#include <QDateTime>

#include <atomic>

namespace {

// Workers stamp their results from their own threads while a test may install or remove a clock.
std::atomic<const Clock*> g_clock{nullptr};

double systemNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return EncodeDateTime(now.date(), now.time());
}

}  // namespace

double Now()
{
    const Clock* clock = g_clock.load(std::memory_order_acquire);
    return clock ? clock->now() : systemNow();
}

ScopedClock::ScopedClock(const Clock& clock) : m_previous(g_clock.exchange(&clock, std::memory_order_acq_rel))
{
}

ScopedClock::~ScopedClock()
{
    g_clock.store(m_previous, std::memory_order_release);
}
