#include "app/FramePacer.h"

#include <algorithm>

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

void FramePacer::request(int step)
{
    Step& wanted = m_steps.at(static_cast<std::size_t>(step));
    if (wanted.pending)
        return;
    wanted.pending = true;
    if (m_pendingCount++ > 0 || m_timer.isActive())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : FrameMs;
    m_timer.start(static_cast<int>(std::clamp<qint64>(FrameMs - since, 0, FrameMs)));
}

void FramePacer::flush()
{
    m_timer.stop();
    if (m_pendingCount == 0)
        return;
    m_sinceFrame.start();
    // A step may ask for another (a sort makes rows change): it runs in this frame when it comes
    // later in the order, and in the next one otherwise.
    for (Step& step : m_steps) {
        if (!step.pending)
            continue;
        step.pending = false;
        --m_pendingCount;
        step.run();
    }
    if (m_pendingCount == 0)
        m_timer.stop();
}
