#pragma once

#include "check/ByteStream.h"

#include <QByteArray>

// A stream over fixed bytes: reads hand out the input (at most `pieceSize` bytes at a time, to
// exercise every buffer boundary) and then an orderly close; writes are collected.
class MemoryStream : public ByteStream {
public:
    explicit MemoryStream(QByteArray input, std::size_t pieceSize = 0);

    StreamIo read(char* data, std::size_t size, int timeoutMs) override;
    StreamIo write(const char* data, std::size_t size) override;
    // Input not yet read is unasked data, and after it the stream is closed: never idle.
    bool idleAndOpen() override { return false; }

    const QByteArray& written() const { return m_written; }
    // After the input ends, reads fail with this error instead of closing.
    void setErrorAtEnd(FetchError error) { m_errorAtEnd = error; }

private:
    QByteArray m_input;
    qsizetype m_pos = 0;
    std::size_t m_pieceSize;
    QByteArray m_written;
    FetchError m_errorAtEnd = FetchError::None;
};
