#pragma once

#include "check/FetchResult.h"

#include <cstddef>

// The outcome of one read or write on a byte stream.
struct StreamIo {
    std::ptrdiff_t bytes = 0;  // read: > 0 bytes arrived, 0 with no error is an orderly close
    FetchError error = FetchError::None;
    QString text;
    bool reset = false;  // the peer reset the connection

    bool failed() const { return error != FetchError::None; }
    // The failure as a fetch reports it.
    FetchResult asResult() const;
};

// A connection as the response reader sees it: bytes in, bytes out. Implemented over a TCP socket,
// over TLS on top of another stream, and over plain bytes for tests and fuzzing.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Reads at most `size` bytes. timeoutMs < 0 waits without bound; on time-out the error is
    // ReadTimeout. Never reads past what is available once at least one byte has arrived.
    virtual StreamIo read(char* data, std::size_t size, int timeoutMs) = 0;
    // Writes all bytes or fails.
    virtual StreamIo write(const char* data, std::size_t size) = 0;
    // False when the peer has closed or sent something unasked, so that the connection must not
    // carry another request. Does not block.
    virtual bool idleAndOpen() = 0;
};
