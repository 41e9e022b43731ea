#include "check/CancelToken.h"

#include <sys/socket.h>

void CancelToken::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled.store(true, std::memory_order_release);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

bool CancelToken::attach(int fd)
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled.load(std::memory_order_relaxed))
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
