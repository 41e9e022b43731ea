#include "check/MemoryStream.h"

#include <algorithm>
#include <cstring>

MemoryStream::MemoryStream(QByteArray input, std::size_t pieceSize) : m_input(std::move(input)), m_pieceSize(pieceSize)
{
}

StreamIo MemoryStream::read(char* data, std::size_t size, int)
{
    StreamIo io;
    const auto left = static_cast<std::size_t>(m_input.size() - m_pos);
    if (left == 0) {
        if (m_errorAtEnd != FetchError::None) {
            io.error = m_errorAtEnd;
            io.text = QStringLiteral("end of input");
        }
        return io;
    }
    std::size_t n = std::min(size, left);
    if (m_pieceSize > 0)
        n = std::min(n, m_pieceSize);
    std::memcpy(data, m_input.constData() + m_pos, n);
    m_pos += static_cast<qsizetype>(n);
    io.bytes = static_cast<std::ptrdiff_t>(n);
    return io;
}

StreamIo MemoryStream::write(const char* data, std::size_t size)
{
    m_written.append(data, static_cast<qsizetype>(size));
    StreamIo io;
    io.bytes = static_cast<std::ptrdiff_t>(size);
    return io;
}
