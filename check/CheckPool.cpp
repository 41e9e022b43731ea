#include "check/CheckPool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>

struct CheckPool::State {
    explicit State(std::chrono::milliseconds idle) : idleTime(idle) {}

    const std::chrono::milliseconds idleTime;
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable ended;
    // Handed to waiting threads only: there are never more of these than threads waiting.
    std::deque<CheckPool::Task> queue;
    int threads = 0;
    int waiting = 0;
    bool stopped = false;
};

CheckPool::CheckPool(std::chrono::milliseconds idleTime) : m_state(std::make_shared<State>(idleTime))
{
}

CheckPool::~CheckPool()
{
    stop(std::chrono::milliseconds(0));
}

void CheckPool::start(Task task)
{
    State& state = *m_state;
    {
        std::unique_lock lock(state.mutex);
        if (state.stopped)
            return;
        if (state.waiting > static_cast<int>(state.queue.size())) {
            state.queue.push_back(std::move(task));
            lock.unlock();
            state.work.notify_one();
            return;
        }
        ++state.threads;
    }
    try {
        std::thread(&CheckPool::serve, m_state, std::move(task)).detach();
    } catch (...) {
        const std::lock_guard lock(state.mutex);
        --state.threads;
        state.ended.notify_all();
        throw;
    }
}

void CheckPool::serve(const std::shared_ptr<State>& shared, Task task)
{
    State& state = *shared;
    // So that top, a debugger and a profiler tell the checks from the thread that made them.
    ::pthread_setname_np(::pthread_self(), "check");
    for (;;) {
        // Nothing may unwind out of a detached thread.
        std::function<void()> then;
        try {
            then = task();
        } catch (...) {
        }
        task = nullptr;
        std::unique_lock lock(state.mutex);
        ++state.waiting;
        if (then) {
            lock.unlock();
            try {
                then();
            } catch (...) {
            }
            then = nullptr;
            lock.lock();
        }
        state.work.wait_for(lock, state.idleTime, [&] { return state.stopped || !state.queue.empty(); });
        --state.waiting;
        // A task queued for this thread is taken even when the wait timed out at the same moment.
        if (state.queue.empty() || state.stopped) {
            if (--state.threads == 0)
                state.ended.notify_all();
            return;
        }
        task = std::move(state.queue.front());
        state.queue.pop_front();
    }
}

bool CheckPool::stop(std::chrono::milliseconds wait)
{
    State& state = *m_state;
    std::deque<Task> dropped;
    std::unique_lock lock(state.mutex);
    state.stopped = true;
    dropped.swap(state.queue);
    state.work.notify_all();
    const bool ended = state.ended.wait_for(lock, wait, [&] { return state.threads == 0; });
    lock.unlock();
    // The dropped tasks go here, outside the lock, on the caller's thread.
    dropped.clear();
    return ended;
}

int CheckPool::threads() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->threads;
}

int CheckPool::idleThreads() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->waiting;
}
