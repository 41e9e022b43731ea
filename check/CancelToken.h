#pragma once

#include <atomic>
#include <mutex>

// Lets another thread stop a fetch: cancel() marks the token and shuts down the socket the fetch is
// blocked on, which makes a pending connect, read or write return at once. Thread-safe.
class CancelToken {
public:
    void cancel();
    bool cancelled() const { return m_cancelled.load(std::memory_order_acquire); }

    // The socket a fetch is about to block on. attach() returns false (and attaches nothing) when the
    // token is already cancelled. A socket must be detached before it is closed, so that cancel()
    // never shuts down a descriptor number that has been reused.
    bool attach(int fd);
    void detach(int fd);

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    int m_fd = -1;
};
