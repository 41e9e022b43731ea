#pragma once

#include "check/ByteStream.h"

#include <QByteArray>

#include <memory>

class CancelToken;

// A TCP connection to an IPv4 address. The socket stays blocking; time-outs are the kernel's socket
// time-outs, so a read costs one system call, and a shutdown from another thread (CancelToken)
// wakes any blocked call.
class SocketStream : public ByteStream {
public:
    ~SocketStream() override;

    // Resolves `host` to IPv4 addresses (not bounded by the time-out) and connects to the first that
    // accepts. connectTimeoutMs 0 leaves the bound to the operating system.
    static std::unique_ptr<SocketStream> connect(const QByteArray& host, quint16 port, int connectTimeoutMs,
                                                 CancelToken& cancel, FetchResult& failure);

    StreamIo read(char* data, std::size_t size, int timeoutMs) override;
    StreamIo write(const char* data, std::size_t size) override;
    bool idleAndOpen() override;

    // A write waits at most this long for the peer; < 0 is no bound.
    void setWriteTimeout(int timeoutMs);

private:
    SocketStream(int fd, CancelToken& cancel);
    StreamIo failure(int error, bool reading) const;

    int m_fd;
    CancelToken& m_cancel;
    int m_readTimeoutMs = -1;
};
