#include "check/SocketStream.h"

#include "check/CancelToken.h"
#include "check/FetchReasons.h"
#include "check/HappyEyeballs.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool SetTimeout(int fd, int option, int timeoutMs)
{
    timeval tv{};
    if (timeoutMs > 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
    }
    return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

}  // namespace

QByteArray UnbracketedHost(const QByteArray& host)
{
    if (host.size() >= 2 && host.startsWith('[') && host.endsWith(']'))
        return host.sliced(1, host.size() - 2);
    return host;
}

SocketStream::SocketStream(int fd, CancelToken& cancel) : m_fd(fd), m_cancel(cancel)
{
}

SocketStream::~SocketStream()
{
    m_cancel.detach(m_fd);
    ::close(m_fd);
}

std::unique_ptr<SocketStream> SocketStream::connect(const QByteArray& host, quint16 port, int connectTimeoutMs,
                                                    Resolver& resolver, CancelToken& cancel, FetchResult& failure)
{
    const QByteArray name = UnbracketedHost(host);
    if (name.isEmpty() || name.contains('\0')) {
        failure = FetchResult::failure(FetchError::InvalidUrl, QStringLiteral("Address without a host name"));
        return nullptr;
    }
    std::vector<IpAddress> addresses;
    if (const std::optional<IpAddress> literal = IpAddress::parse(name)) {
        addresses.push_back(*literal);
    } else {
        ResolveResult resolved = resolver.resolve(name, cancel);
        if (resolved.addresses.empty()) {
            // A resolver that gives nothing without saying why has found no address either.
            failure = !resolved.failure
                ? resolved.failure
                : FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("Host has no address"));
            return nullptr;
        }
        addresses = InterleaveFamilies(resolved.addresses);
    }
    const int fd = ConnectFirst(addresses, port, connectTimeoutMs, cancel, failure);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<SocketStream> stream(new SocketStream(fd, cancel));
    if (!cancel.attach(fd)) {
        failure = FetchResult::failure(FetchError::Aborted, AbortedReason());
        return nullptr;
    }
    return stream;
}

void SocketStream::setWriteTimeout(int timeoutMs)
{
    if (timeoutMs != m_writeTimeoutMs && SetTimeout(m_fd, SO_SNDTIMEO, timeoutMs))
        m_writeTimeoutMs = timeoutMs;
}

StreamIo SocketStream::failure(int error, bool reading) const
{
    StreamIo io;
    if (m_cancel.cancelled()) {
        io.error = FetchError::Aborted;
        io.text = AbortedReason();
    } else if (error == EAGAIN || error == EWOULDBLOCK) {
        io.error = reading ? FetchError::ReadTimeout : FetchError::SendFailed;
        io.text = reading ? QStringLiteral("No answer within %1").arg(Seconds(m_readTimeoutMs))
                          : QStringLiteral("The request could not be sent within %1").arg(Seconds(m_writeTimeoutMs));
    } else {
        io.error = reading ? FetchError::ReadFailed : FetchError::SendFailed;
        io.text = SystemReason(error);
        io.reset = error == ECONNRESET || error == EPIPE;
    }
    return io;
}

StreamIo SocketStream::read(char* data, std::size_t size, int timeoutMs)
{
    if (timeoutMs < 0)
        timeoutMs = 0;
    else if (timeoutMs == 0)
        timeoutMs = 1;  // a zero socket time-out would mean "none"
    if (timeoutMs != m_readTimeoutMs) {
        SetTimeout(m_fd, SO_RCVTIMEO, timeoutMs);
        m_readTimeoutMs = timeoutMs;
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, size, 0);
        if (n >= 0) {
            // A shutdown by cancel() looks like an orderly close.
            if (n == 0 && m_cancel.cancelled())
                return failure(ECANCELED, true);
            StreamIo io;
            io.bytes = n;
            return io;
        }
        if (errno != EINTR || m_cancel.cancelled())
            return failure(errno, true);
    }
}

StreamIo SocketStream::write(const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(m_fd, data + done, size - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR && !m_cancel.cancelled())
                continue;
            return failure(errno, false);
        }
        done += static_cast<std::size_t>(n);
    }
    StreamIo io;
    io.bytes = static_cast<std::ptrdiff_t>(done);
    return io;
}

bool SocketStream::idleAndOpen()
{
    char byte;
    const ssize_t n = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}
