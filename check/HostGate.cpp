#include "check/HostGate.h"

#include "check/CancelToken.h"
#include "check/FetchReasons.h"

HostGate& HostGate::shared()
{
    // Never destroyed: fetches of threads that outlive the shut-down may still pass through it.
    static HostGate* const gate = new HostGate;
    return *gate;
}

void HostGate::forgetIfIdle(std::map<QByteArray, Host>::iterator host)
{
    if (host->second.holding == 0 && host->second.queue.empty() && host->second.notBefore <= Clock::now())
        m_hosts.erase(host);
}

FetchResult HostGate::enter(const QByteArray& host, int limit, CancelToken& cancel, Pass& pass)
{
    pass.release();
    pass.m_gate = this;
    pass.m_host = host;
    if (limit <= 0)
        return {};

    std::unique_lock lock(m_mutex);
    const auto entry = m_hosts.try_emplace(host).first;
    const quint64 ticket = ++m_nextTicket;
    entry->second.queue.push_back(ticket);
    lock.unlock();
    const bool watching = cancel.setWaker([this] {
        const std::lock_guard wake(m_mutex);
        m_changed.notify_all();
    });
    lock.lock();
    Host& state = entry->second;
    m_changed.wait(lock, [&] {
        return !watching || cancel.cancelled() || (state.queue.front() == ticket && state.holding < limit);
    });
    const bool admitted = watching && !cancel.cancelled();
    if (admitted) {
        state.queue.pop_front();
        ++state.holding;
    } else {
        std::erase(state.queue, ticket);
        forgetIfIdle(entry);
    }
    // The next in the queue may go in beside this one, or in its place.
    m_changed.notify_all();
    lock.unlock();
    if (watching)
        cancel.clearWaker();
    if (!admitted) {
        pass.m_gate = nullptr;
        return FetchResult::failure(FetchError::Aborted, AbortedReason());
    }
    pass.m_counted = true;
    return {};
}

void HostGate::leave(const QByteArray& host, bool counted)
{
    const std::lock_guard lock(m_mutex);
    const auto entry = m_hosts.find(host);
    if (entry == m_hosts.end())
        return;
    if (counted)
        --entry->second.holding;
    forgetIfIdle(entry);
    // Now and then the hosts whose pause has run out since their last pass are forgotten too.
    if (++m_leaves % 256 == 0) {
        for (auto host = m_hosts.begin(); host != m_hosts.end();)
            forgetIfIdle(host++);
    }
    m_changed.notify_all();
}

HostGate::Clock::time_point HostGate::reserveRequest(const QByteArray& host, int delayMs)
{
    const std::lock_guard lock(m_mutex);
    Host& state = m_hosts[host];
    const Clock::time_point at = std::max(Clock::now(), state.notBefore);
    state.notBefore = at + std::chrono::milliseconds(delayMs);
    return at;
}

int HostGate::holding(const QByteArray& host) const
{
    const std::lock_guard lock(m_mutex);
    const auto entry = m_hosts.find(host);
    return entry == m_hosts.end() ? 0 : entry->second.holding;
}

int HostGate::waiting(const QByteArray& host) const
{
    const std::lock_guard lock(m_mutex);
    const auto entry = m_hosts.find(host);
    return entry == m_hosts.end() ? 0 : static_cast<int>(entry->second.queue.size());
}

void HostGate::Pass::release()
{
    if (!m_gate)
        return;
    // A pass that neither counted nor paced left nothing in the gate: no need to take its lock.
    if (m_counted || m_paced)
        m_gate->leave(m_host, m_counted);
    m_gate = nullptr;
    m_counted = false;
    m_paced = false;
    m_host.clear();
}

bool HostGate::Pass::pace(int delayMs, const CancelToken& cancel)
{
    if (!m_gate || delayMs <= 0)
        return !cancel.cancelled();
    m_paced = true;
    const auto at = m_gate->reserveRequest(m_host, delayMs);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    return cancel.sleepFor(std::max<qint64>(wait, 0));
}
