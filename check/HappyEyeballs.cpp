#include "check/HappyEyeballs.h"

#include "check/CancelToken.h"
#include "check/FetchReasons.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point when)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// Errors that say only that this machine cannot use the family; another address's error says more.
bool LocalOnly(int error)
{
    return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT;
}

}  // namespace

std::vector<IpAddress> InterleaveFamilies(const std::vector<IpAddress>& addresses)
{
    std::vector<IpAddress> six;
    std::vector<IpAddress> four;
    for (const IpAddress& address : addresses)
        (address.family == AF_INET6 ? six : four).push_back(address);
    std::vector<IpAddress> ordered;
    ordered.reserve(addresses.size());
    for (std::size_t i = 0; i < std::max(six.size(), four.size()); ++i) {
        if (i < six.size())
            ordered.push_back(six[i]);
        if (i < four.size())
            ordered.push_back(four[i]);
    }
    return ordered;
}

int ConnectFirst(const std::vector<IpAddress>& addresses, quint16 port, int timeoutMs, const CancelToken& cancel,
                 FetchResult& failure)
{
    const std::optional<Clock::time_point> deadline =
        timeoutMs > 0 ? std::optional(Clock::now() + std::chrono::milliseconds(timeoutMs)) : std::nullopt;
    std::vector<pollfd> pending;  // attempts under way, and last the token's wake descriptor
    const auto closeAll = [&pending] {
        for (const pollfd& attempt : pending)
            ::close(attempt.fd);
        pending.clear();
    };
    std::size_t next = 0;
    Clock::time_point nextStart = Clock::now();
    int lastError = ECONNREFUSED;
    const auto failed = [&lastError](int error) {
        if (!LocalOnly(error) || LocalOnly(lastError))
            lastError = error;
    };

    for (;;) {
        if (cancel.cancelled()) {
            closeAll();
            failure = FetchResult::failure(FetchError::Aborted, AbortedReason());
            return -1;
        }
        while (next < addresses.size() && Clock::now() >= nextStart) {
            const IpAddress& address = addresses[next++];
            const int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                failed(errno);
                continue;
            }
            sockaddr_storage to;
            const socklen_t size = address.toSockaddr(port, to);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&to), size) == 0) {
                closeAll();
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
            if (errno != EINPROGRESS) {
                failed(errno);
                ::close(fd);
                continue;  // a quick failure lets the next address go at once
            }
            pending.push_back({fd, POLLOUT, 0});
            nextStart = Clock::now() + std::chrono::milliseconds(ConnectionAttemptDelayMs);
        }
        if (pending.empty() && next >= addresses.size()) {
            if (lastError == ETIMEDOUT)
                failure = FetchResult::failure(FetchError::ConnectTimeout, SystemReason(lastError));
            else
                failure = FetchResult::failure(FetchError::ConnectFailed, SystemReason(lastError));
            return -1;
        }
        if (deadline && Clock::now() >= *deadline) {
            closeAll();
            failure = FetchResult::failure(FetchError::ConnectTimeout,
                                           QStringLiteral("No connection within %1").arg(Seconds(timeoutMs)));
            return -1;
        }

        int wait = deadline ? MsUntil(*deadline) : -1;
        if (next < addresses.size())
            wait = wait < 0 ? MsUntil(nextStart) : std::min(wait, MsUntil(nextStart));
        if (cancel.wakeFd() < 0)
            wait = wait < 0 ? 50 : std::min(wait, 50);
        std::vector<pollfd> fds = pending;
        if (cancel.wakeFd() >= 0)
            fds.push_back({cancel.wakeFd(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), wait) <= 0)
            continue;
        for (std::size_t i = pending.size(); i-- > 0;) {
            if (fds[i].revents == 0)
                continue;
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(pending[i].fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
            if (error == 0) {
                const int fd = pending[i].fd;
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
                closeAll();
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
            failed(error);
            ::close(pending[i].fd);
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
            nextStart = Clock::now();
        }
    }
}
