#include "check/SocketStream.h"

#include "check/CancelToken.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool Resolve(const QByteArray& host, std::vector<in_addr>& addresses, FetchResult& failure)
{
    in_addr numeric{};
    if (::inet_pton(AF_INET, host.constData(), &numeric) == 1) {
        addresses.push_back(numeric);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &list);
    if (rc != 0) {
        failure = FetchResult::failure(FetchError::ResolveFailed,
                                       QStringLiteral("cannot resolve %1: %2")
                                           .arg(QString::fromLatin1(host), QString::fromLocal8Bit(::gai_strerror(rc))));
        return false;
    }
    for (addrinfo* a = list; a; a = a->ai_next)
        addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
    ::freeaddrinfo(list);
    if (addresses.empty()) {
        failure = FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("no IPv4 address"));
        return false;
    }
    return true;
}

}  // namespace

SocketStream::SocketStream(int fd, CancelToken& cancel) : m_fd(fd), m_cancel(cancel)
{
}

SocketStream::~SocketStream()
{
    m_cancel.detach(m_fd);
    ::close(m_fd);
}

std::unique_ptr<SocketStream> SocketStream::connect(const QByteArray& host, quint16 port, int connectTimeoutMs,
                                                    CancelToken& cancel, FetchResult& failure)
{
    if (host.isEmpty() || host.contains('\0')) {
        failure = FetchResult::failure(FetchError::InvalidUrl, QStringLiteral("no host"));
        return nullptr;
    }
    std::vector<in_addr> addresses;
    if (!Resolve(host, addresses, failure))
        return nullptr;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs);
    int lastError = ECONNREFUSED;
    for (const in_addr& address : addresses) {
        if (cancel.cancelled())
            break;
        int timeoutMs = 0;
        if (connectTimeoutMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                lastError = ETIMEDOUT;
                break;
            }
            timeoutMs = static_cast<int>(left);
        }
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            failure = FetchResult::failure(FetchError::ConnectFailed, ErrorText(errno));
            return nullptr;
        }
        std::unique_ptr<SocketStream> stream(new SocketStream(fd, cancel));
        if (!cancel.attach(fd))
            break;
        // On Linux the send time-out bounds a blocking connect as well.
        if (timeoutMs > 0)
            SetTimeout(fd, SO_SNDTIMEO, timeoutMs);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr = address;
        int rc;
        do {
            rc = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        } while (rc != 0 && errno == EINTR && !cancel.cancelled());
        if (rc == 0 && !cancel.cancelled())
            return stream;
        lastError = (errno == EINPROGRESS || errno == EAGAIN) ? ETIMEDOUT : errno;
    }
    if (cancel.cancelled())
        failure = FetchResult::failure(FetchError::Aborted, QStringLiteral("aborted"));
    else if (lastError == ETIMEDOUT)
        failure = FetchResult::failure(FetchError::ConnectTimeout, QStringLiteral("connect timed out"));
    else
        failure = FetchResult::failure(FetchError::ConnectFailed, ErrorText(lastError));
    return nullptr;
}

void SocketStream::setWriteTimeout(int timeoutMs)
{
    SetTimeout(m_fd, SO_SNDTIMEO, timeoutMs);
}

StreamIo SocketStream::failure(int error, bool reading) const
{
    StreamIo io;
    if (m_cancel.cancelled()) {
        io.error = FetchError::Aborted;
        io.text = QStringLiteral("aborted");
    } else if (error == EAGAIN || error == EWOULDBLOCK) {
        io.error = reading ? FetchError::ReadTimeout : FetchError::SendFailed;
        io.text = reading ? QStringLiteral("read timed out") : QStringLiteral("send timed out");
    } else {
        io.error = reading ? FetchError::ReadFailed : FetchError::SendFailed;
        io.text = ErrorText(error);
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
