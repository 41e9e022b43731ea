#pragma once

#include "check/ByteStream.h"

#include <QByteArray>

#include <memory>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

// The certificates a TLS connection accepts: the system's trust store, plus an optional extra
// anchor (PEM) that tests use for their own certificate authority. Immutable once made, so one
// context serves any number of connections on any thread; it keeps no sessions, so nothing of one
// connection carries over to the next.
class TlsContext {
public:
    // The context over the system store alone, made once.
    static std::shared_ptr<TlsContext> system(FetchResult& failure);
    // A context over the system store and `anchorPem`.
    static std::shared_ptr<TlsContext> withAnchor(const QByteArray& anchorPem, FetchResult& failure);

    ~TlsContext();
    SSL_CTX* handle() const { return m_ctx; }

private:
    explicit TlsContext(SSL_CTX* ctx) : m_ctx(ctx) {}
    static std::shared_ptr<TlsContext> make(const QByteArray& anchorPem, FetchResult& failure);

    SSL_CTX* m_ctx;
};

// TLS 1.2 or later on top of another stream (a socket, or a tunnel through a proxy). The handshake
// sends the host name (SNI) and verifies the chain and the host name or IP address.
class TlsStream : public ByteStream {
public:
    ~TlsStream() override;

    static std::unique_ptr<TlsStream> handshake(std::unique_ptr<ByteStream> inner, std::shared_ptr<TlsContext> context,
                                                const QByteArray& host, int timeoutMs, FetchResult& failure);

    StreamIo read(char* data, std::size_t size, int timeoutMs) override;
    StreamIo write(const char* data, std::size_t size) override;
    bool idleAndOpen() override;

private:
    TlsStream(std::unique_ptr<ByteStream> inner, std::shared_ptr<TlsContext> context);
    StreamIo failure(int sslResult, bool reading);
    static int bioRead(BIO* bio, char* data, int size);
    static int bioWrite(BIO* bio, const char* data, int size);

    std::unique_ptr<ByteStream> m_inner;
    std::shared_ptr<TlsContext> m_context;
    SSL* m_ssl = nullptr;
    int m_timeoutMs = -1;
    StreamIo m_innerFailure;  // why the last inner read or write failed
};
