#pragma once

#include <chrono>
#include <functional>
#include <memory>

// The threads the checks run on, kept from one check to the next: a check goes to a thread that has
// nothing to do, and a new thread starts only when none is free. A thread that has had nothing to
// do for a while ends. Whoever hands out the tasks bounds how many run at once; the pool runs each
// one at once, on a thread of its own, however long it takes (a check may wait for seconds).
//
// The threads are detached and share the pool's state, so a thread that outlives the pool (one
// stuck in a call that cannot be interrupted) touches nothing that is gone.
class CheckPool {
public:
    static constexpr std::chrono::milliseconds DefaultIdleTime{10000};
    // Runs on a pool thread and gives what is to happen once the thread is free again (or nothing):
    // whatever that sets off, a task started at once finds the thread free.
    using Task = std::function<std::function<void()>()>;

    explicit CheckPool(std::chrono::milliseconds idleTime = DefaultIdleTime);
    // Stops without waiting.
    ~CheckPool();
    CheckPool(const CheckPool&) = delete;
    CheckPool& operator=(const CheckPool&) = delete;

    // Runs `task` on a free thread, or on a new one. Throws std::system_error, with nothing run,
    // when no thread is free and none can be started. After stop() the task is dropped.
    void start(Task task);

    // No task starts any more; free threads end at once, busy ones when their task returns. Waits
    // at most `wait` for every thread to end; true when they all did.
    bool stop(std::chrono::milliseconds wait);

    // For tests: threads alive, and those of them that wait for a task.
    int threads() const;
    int idleThreads() const;

private:
    struct State;
    static void serve(const std::shared_ptr<State>& state, Task task);

    std::shared_ptr<State> m_state;
};
