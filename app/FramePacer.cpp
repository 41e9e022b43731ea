#include "app/FramePacer.h"

#include <algorithm>
#include <ctime>
#include <utility>

FramePacer::FramePacer(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { flush(); });
}

int FramePacer::addStep(std::function<void()> step)
{
    m_steps.push_back({std::move(step), false});
    return static_cast<int>(m_steps.size()) - 1;
}

std::chrono::nanoseconds FramePacer::threadCpuTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void FramePacer::addCost(std::chrono::nanoseconds cpuTime)
{
    m_frameCost += std::max(cpuTime, std::chrono::nanoseconds(0));
}

int FramePacer::gapMs() const
{
    // The frame before counts too: its repaint came after the stream of changes had asked for this one.
    const std::chrono::nanoseconds cost = std::max(m_frameCost, m_lastFrameCost);
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(GapPerCost * cost).count();
    return static_cast<int>(std::clamp<std::int64_t>(gap, FrameMs, LongestGapMs));
}

void FramePacer::request(int step)
{
    Step& wanted = m_steps.at(static_cast<std::size_t>(step));
    if (wanted.pending)
        return;
    wanted.pending = true;
    if (m_pendingCount++ > 0 || m_timer.isActive())
        return;
    const int gap = gapMs();
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : gap;
    m_timer.start(static_cast<int>(std::clamp<qint64>(gap - since, 0, gap)));
}

void FramePacer::flush()
{
    m_timer.stop();
    if (m_pendingCount == 0)
        return;
    m_sinceFrame.start();
    m_lastFrameCost = std::exchange(m_frameCost, std::chrono::nanoseconds(0));
    const std::chrono::nanoseconds start = threadCpuTime();
    // A step may ask for another (a sort makes rows change): it runs in this frame when it comes
    // later in the order, and in the next one otherwise.
    for (Step& step : m_steps) {
        if (!step.pending)
            continue;
        step.pending = false;
        --m_pendingCount;
        step.run();
    }
    m_frameCost += threadCpuTime() - start;
    if (m_pendingCount == 0)
        m_timer.stop();
}
