#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <unordered_map>

class CancelToken;

// Ends fetches whose total time is up: a thread of its own cancels each watched token at its time
// (CancelToken::Cause::Deadline), which ends whatever wait the fetch is in, as abort() does.
class DeadlineWatcher {
public:
    using Clock = std::chrono::steady_clock;

    // The one watcher of the process, started the first time it is used and never stopped.
    static DeadlineWatcher& shared();

    // Cancels `token` at `when` unless unwatch() comes first.
    quint64 watch(CancelToken& token, Clock::time_point when);
    // Once this returns, the watcher never touches the token again.
    void unwatch(quint64 id);

private:
    DeadlineWatcher();
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::multimap<Clock::time_point, std::pair<quint64, CancelToken*>> m_due;
    std::unordered_map<quint64, std::multimap<Clock::time_point, std::pair<quint64, CancelToken*>>::iterator> m_byId;
    quint64 m_nextId = 0;
};
