#include "check/DeadlineWatcher.h"

#include "check/CancelToken.h"

#include <thread>

DeadlineWatcher& DeadlineWatcher::shared()
{
    // Never destroyed: its thread runs until the process ends.
    static DeadlineWatcher* const watcher = new DeadlineWatcher;
    return *watcher;
}

DeadlineWatcher::DeadlineWatcher()
{
    std::thread([this] { run(); }).detach();
}

quint64 DeadlineWatcher::watch(CancelToken& token, Clock::time_point when)
{
    const std::lock_guard lock(m_mutex);
    const quint64 id = ++m_nextId;
    const auto entry = m_due.emplace(when, std::pair(id, &token));
    m_byId.emplace(id, entry);
    if (entry == m_due.begin())
        m_changed.notify_one();
    return id;
}

void DeadlineWatcher::unwatch(quint64 id)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_byId.find(id);
    if (found == m_byId.end())
        return;
    m_due.erase(found->second);
    m_byId.erase(found);
}

void DeadlineWatcher::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_due.empty()) {
            m_changed.wait(lock);
            continue;
        }
        const auto first = m_due.begin();
        // A copy: the entry may be gone when the wait reads it again.
        const Clock::time_point when = first->first;
        if (Clock::now() < when) {
            m_changed.wait_until(lock, when);
            continue;
        }
        // Cancelled under the lock, so that an unwatch() that returns has seen its last of the token.
        first->second.second->cancel(CancelToken::Cause::Deadline);
        m_byId.erase(first->second.first);
        m_due.erase(first);
    }
}
