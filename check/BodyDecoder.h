#pragma once

#include "check/FetchResult.h"

#include <QByteArray>

#include <memory>

// Undoes the content coding of a page (Content-Encoding gzip, x-gzip or deflate) with zlib, piece by
// piece as the body arrives, never making more than a given number of bytes: a compression bomb
// stops at the limit.
class BodyDecoder {
public:
    enum class Coding { Identity, Gzip, Deflate };

    // The coding a Content-Encoding value names ("identity" and blanks count for nothing). A coding
    // this client cannot undo, or more than one, is a failure naming it.
    static FetchResult codingOf(QByteArrayView contentEncoding, Coding& coding);

    explicit BodyDecoder(Coding coding);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Decodes `size` bytes onto the end of `out` until `out` holds `limit` bytes; `full` turns true
    // when the limit stopped it. Bytes after the end of the compressed data are ignored. Corrupt data
    // is a failure.
    FetchResult feed(const char* data, qsizetype size, QByteArray& out, qsizetype limit, bool& full);

private:
    struct Stream;
    FetchResult start(const char* data, qsizetype size);

    Coding m_coding;
    std::unique_ptr<Stream> m_stream;
    bool m_ended = false;
    QByteArray m_head;  // the first bytes of a deflate body, until they tell zlib's wrapper from none
};

// Makes room in `body` for `needed` bytes in all, growing it at most to `cap`: doubling, but never
// past the cap, so that a page at the cap never costs twice its size.
void ReserveWithin(QByteArray& body, qsizetype needed, qsizetype cap);
