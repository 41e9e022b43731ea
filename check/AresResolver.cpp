#include "check/AresResolver.h"

#include "check/CancelToken.h"
#include "check/FetchReasons.h"

#include <algorithm>
#include <ares.h>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>

namespace {

// How long one query waits for a name server, and how often it is sent: a look-up that gets no
// answer fails after a few seconds instead of the library's half minute.
constexpr int QueryTimeoutMs = 2500;
constexpr int QueryTries = 2;

struct LookUp {
    bool done = false;
    int status = ARES_SUCCESS;
    std::vector<IpAddress> addresses;
};

void Collect(void* arg, int status, int, ares_addrinfo* result)
{
    auto* lookUp = static_cast<LookUp*>(arg);
    lookUp->done = true;
    lookUp->status = status;
    if (!result)
        return;
    for (const ares_addrinfo_node* node = result->nodes; node; node = node->ai_next) {
        IpAddress address;
        if (node->ai_family == AF_INET && node->ai_addr) {
            address.family = AF_INET;
            std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(node->ai_addr)->sin_addr, 4);
        } else if (node->ai_family == AF_INET6 && node->ai_addr) {
            address.family = AF_INET6;
            std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(node->ai_addr)->sin6_addr, 16);
        } else {
            continue;
        }
        if (std::find(lookUp->addresses.begin(), lookUp->addresses.end(), address) == lookUp->addresses.end())
            lookUp->addresses.push_back(address);
    }
    ares_freeaddrinfo(result);
}

FetchResult Failure(int status)
{
    switch (status) {
    case ARES_ENOTFOUND:
    case ARES_ENODATA:
    case ARES_ENONAME: return FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("Host not found"));
    case ARES_EBADNAME:
        return FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("Host name is not valid"));
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED:
        return FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("No answer from the name server"));
    case ARES_ESERVFAIL:
    case ARES_EREFUSED:
        return FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("The name server could not answer"));
    case ARES_ECANCELLED:
    case ARES_EDESTRUCTION: return FetchResult::failure(FetchError::Aborted, AbortedReason());
    default:
        return FetchResult::failure(
            FetchError::ResolveFailed,
            QStringLiteral("Name look-up failed: %1").arg(QString::fromLatin1(ares_strerror(status))));
    }
}

// Runs the channel until the look-up is done or the token is cancelled.
void Run(ares_channel channel, LookUp& lookUp, const CancelToken& cancel)
{
    while (!lookUp.done) {
        if (cancel.cancelled()) {
            ares_cancel(channel);  // runs the callback with ARES_ECANCELLED
            return;
        }
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM + 1];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = static_cast<short>((ARES_GETSOCK_READABLE(bits, i) ? POLLIN : 0) |
                                                    (ARES_GETSOCK_WRITABLE(bits, i) ? POLLOUT : 0));
            if (events != 0)
                fds[count++] = {sockets[i], events, 0};
        }
        const nfds_t socketCount = count;
        if (cancel.wakeFd() >= 0)
            fds[count++] = {cancel.wakeFd(), POLLIN, 0};
        timeval longest{1, 0};
        timeval tv{};
        const timeval* wait = ares_timeout(channel, &longest, &tv);
        int waitMs = static_cast<int>(wait->tv_sec * 1000 + (wait->tv_usec + 999) / 1000);
        if (cancel.wakeFd() < 0)
            waitMs = std::min(waitMs, 50);
        const int ready = ::poll(fds, count, waitMs);
        if (ready < 0 && errno != EINTR)
            break;
        bool processed = false;
        for (nfds_t i = 0; ready > 0 && i < socketCount; ++i) {
            if (fds[i].revents == 0)
                continue;
            const bool in = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
            const bool out = fds[i].revents & (POLLOUT | POLLERR | POLLHUP);
            ares_process_fd(channel, in ? fds[i].fd : ARES_SOCKET_BAD, out ? fds[i].fd : ARES_SOCKET_BAD);
            processed = true;
        }
        if (!processed)
            ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // time-outs and resends
    }
    if (!lookUp.done)
        ares_cancel(channel);
}

}  // namespace

AresResolver::AresResolver(QByteArray servers) : m_servers(std::move(servers))
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

ResolveResult AresResolver::resolve(const QByteArray& host, CancelToken& cancel)
{
    ResolveResult result;
    ares_options options{};
    options.timeout = QueryTimeoutMs;
    options.tries = QueryTries;
    ares_channel channel = nullptr;
    int status = ares_init_options(&channel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
    if (status == ARES_SUCCESS && !m_servers.isEmpty())
        status = ares_set_servers_ports_csv(channel, m_servers.constData());
    if (status != ARES_SUCCESS) {
        if (channel)
            ares_destroy(channel);
        result.failure = FetchResult::failure(
            FetchError::ResolveFailed,
            QStringLiteral("Name look-up cannot start: %1").arg(QString::fromLatin1(ares_strerror(status))));
        return result;
    }
    LookUp lookUp;
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ares_getaddrinfo(channel, host.constData(), nullptr, &hints, &Collect, &lookUp);
    Run(channel, lookUp, cancel);
    ares_destroy(channel);

    if (cancel.cancelled())
        result.failure = FetchResult::failure(FetchError::Aborted, AbortedReason());
    else if (lookUp.status != ARES_SUCCESS)
        result.failure = Failure(lookUp.status);
    else if (lookUp.addresses.empty())
        result.failure = FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("Host has no address"));
    else
        result.addresses = std::move(lookUp.addresses);
    return result;
}
