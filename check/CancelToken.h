#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>

// Lets another thread stop a fetch: cancel() marks the token, shuts down the socket the fetch is
// blocked on, makes wakeFd() readable for a fetch that waits in poll() (name look-up, connect) and
// runs the waker of a fetch that waits on a condition (the per-host gate). Every wait of a fetch
// therefore ends at once. Thread-safe.
class CancelToken {
public:
    // Why the token was cancelled. An abort is for good; the end of a fetch's total time only ends
    // that fetch (clearDeadline()).
    enum class Cause { None, Abort, Deadline };

    CancelToken();
    ~CancelToken();
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    void cancel(Cause cause = Cause::Abort);
    bool cancelled() const { return m_cause.load(std::memory_order_acquire) != Cause::None; }
    Cause cause() const { return m_cause.load(std::memory_order_acquire); }
    // Makes a token that the deadline cancelled usable again; an abort stays.
    void clearDeadline();

    // The socket a fetch is about to block on. attach() returns false (and attaches nothing) when the
    // token is already cancelled. A socket must be detached before it is closed, so that cancel()
    // never shuts down a descriptor number that has been reused.
    bool attach(int fd);
    void detach(int fd);

    // Readable once the token is cancelled, until clearDeadline(); -1 when none could be made, in
    // which case poll loops must not wait longer than a short while at a time.
    int wakeFd() const { return m_wakeFd; }
    // Waits `ms` or until cancelled; false when cancelled.
    bool sleepFor(qint64 ms) const;

    // Runs `waker` from cancel() until clearWaker(). False, with nothing set, when already cancelled.
    // The waker runs under the token's lock: it may take other locks, but clearWaker() must not be
    // called while holding one of them.
    bool setWaker(std::function<void()> waker);
    void clearWaker();

private:
    std::atomic<Cause> m_cause{Cause::None};
    std::mutex m_mutex;
    int m_fd = -1;
    int m_wakeFd = -1;
    std::function<void()> m_waker;
};
