#pragma once

#include "check/ByteStream.h"

#include <QByteArray>

#include <memory>

class CancelToken;
class Resolver;

// A TCP connection over IPv4 or IPv6. Once connected the socket stays blocking; time-outs are the
// kernel's socket time-outs, so a read costs one system call, and a shutdown from another thread
// (CancelToken) wakes any blocked call.
class SocketStream : public ByteStream {
public:
    ~SocketStream() override;

    // Looks `host` up (a literal address is taken as it is; brackets around an IPv6 one are allowed)
    // and connects to the first of its addresses that accepts, IPv6 first (HappyEyeballs.h).
    // connectTimeoutMs bounds the connect, not the look-up; 0 leaves the bound to the operating system.
    static std::unique_ptr<SocketStream> connect(const QByteArray& host, quint16 port, int connectTimeoutMs,
                                                 Resolver& resolver, CancelToken& cancel, FetchResult& failure);

    StreamIo read(char* data, std::size_t size, int timeoutMs) override;
    StreamIo write(const char* data, std::size_t size) override;
    bool idleAndOpen() override;

    // A write waits at most this long for the peer; 0 is no bound.
    void setWriteTimeout(int timeoutMs);

private:
    SocketStream(int fd, CancelToken& cancel);
    StreamIo failure(int error, bool reading) const;

    int m_fd;
    CancelToken& m_cancel;
    int m_readTimeoutMs = -1;
    int m_writeTimeoutMs = 0;
};

// The host as the resolver and the socket take it: an IPv6 literal without its brackets.
QByteArray UnbracketedHost(const QByteArray& host);
