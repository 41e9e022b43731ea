#include "check/CancelToken.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

CancelToken::CancelToken() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CancelToken::~CancelToken()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void CancelToken::cancel(Cause cause)
{
    std::lock_guard lock(m_mutex);
    const Cause previous = m_cause.load(std::memory_order_relaxed);
    // An abort replaces a deadline; nothing replaces an abort.
    if (previous == Cause::Abort || (previous == Cause::Deadline && cause == Cause::Deadline))
        return;
    m_cause.store(cause, std::memory_order_release);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
    if (m_wakeFd >= 0 && previous == Cause::None) {
        // Cannot fail short of an overflow of the counter, which one write a cancel never reaches.
        const eventfd_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) < 0) {}
    }
    if (m_waker)
        m_waker();
}

void CancelToken::clearDeadline()
{
    std::lock_guard lock(m_mutex);
    if (m_cause.load(std::memory_order_relaxed) != Cause::Deadline)
        return;
    m_cause.store(Cause::None, std::memory_order_release);
    if (m_wakeFd >= 0) {
        eventfd_t count;
        if (::read(m_wakeFd, &count, sizeof count) < 0) {}
    }
}

bool CancelToken::attach(int fd)
{
    std::lock_guard lock(m_mutex);
    if (cancelled())
        return false;
    m_fd = fd;
    return true;
}

void CancelToken::detach(int fd)
{
    std::lock_guard lock(m_mutex);
    if (m_fd == fd)
        m_fd = -1;
}

bool CancelToken::sleepFor(qint64 ms) const
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (cancelled())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return true;
        // Without a wake descriptor, look at the flag every 50 ms.
        const int wait = m_wakeFd >= 0 ? static_cast<int>(std::min<qint64>(left, 1 << 30)) : 50;
        pollfd fd{m_wakeFd, POLLIN, 0};
        ::poll(&fd, m_wakeFd >= 0 ? 1 : 0, static_cast<int>(std::min<qint64>(wait, left)));
    }
}

bool CancelToken::setWaker(std::function<void()> waker)
{
    std::lock_guard lock(m_mutex);
    if (cancelled())
        return false;
    m_waker = std::move(waker);
    return true;
}

void CancelToken::clearWaker()
{
    std::lock_guard lock(m_mutex);
    m_waker = nullptr;
}
