#include "check/TlsStream.h"

#include "check/Resolver.h"

#include <mutex>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// The library's reason for its last error, after `what`: "TLS handshake failed (wrong version number)".
QString OpenSslErrorText(const char* what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    if (!reason)
        return QString::fromLatin1(what);
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(what), QString::fromLatin1(reason));
}

// Why the server's certificate was refused, from the verification result.
QString CertificateReason(long verify)
{
    switch (verify) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return QStringLiteral("Certificate has expired");
    case X509_V_ERR_CERT_NOT_YET_VALID: return QStringLiteral("Certificate is not valid yet");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return QStringLiteral("Certificate is for another host");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return QStringLiteral("Certificate is self-signed");
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED: return QStringLiteral("Certificate is not from a trusted authority");
    case X509_V_ERR_CERT_REVOKED: return QStringLiteral("Certificate has been revoked");
    default: break;
    }
    QString text = QString::fromLatin1(X509_verify_cert_error_string(verify));
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return QStringLiteral("Certificate refused: %1").arg(text);
}

// A BIO that moves TLS records through another ByteStream, so TLS runs the same on a socket and
// inside a proxy tunnel, and writes never raise SIGPIPE.
BIO_METHOD* StreamBioMethod(int (*readFn)(BIO*, char*, int), int (*writeFn)(BIO*, const char*, int))
{
    static BIO_METHOD* const method = [readFn, writeFn] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quorvane stream");
        BIO_meth_set_read(m, readFn);
        BIO_meth_set_write(m, writeFn);
        BIO_meth_set_ctrl(m, [](BIO*, int cmd, long, void*) -> long { return cmd == BIO_CTRL_FLUSH ? 1 : 0; });
        BIO_meth_set_create(m, [](BIO* bio) {
            BIO_set_init(bio, 1);
            return 1;
        });
        return m;
    }();
    return method;
}

}  // namespace

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_ctx);
}

std::shared_ptr<TlsContext> TlsContext::make(const QByteArray& anchorPem, FetchResult& failure)
{
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        failure = FetchResult::failure(FetchError::TlsFailed, OpenSslErrorText("TLS cannot start"));
        return nullptr;
    }
    std::shared_ptr<TlsContext> context(new TlsContext(ctx));
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    // Servers often close without a close_notify; the body framing decides what is complete.
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (SSL_CTX_set_default_verify_paths(ctx) != 1) {
        failure =
            FetchResult::failure(FetchError::TlsFailed, OpenSslErrorText("The system certificates cannot be read"));
        return nullptr;
    }
    if (!anchorPem.isEmpty()) {
        BIO* bio = BIO_new_mem_buf(anchorPem.constData(), static_cast<int>(anchorPem.size()));
        X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        const bool added = cert && X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx), cert) == 1;
        X509_free(cert);
        if (!added) {
            failure = FetchResult::failure(FetchError::TlsFailed,
                                           OpenSslErrorText("The extra trusted certificate cannot be read"));
            return nullptr;
        }
    }
    return context;
}

std::shared_ptr<TlsContext> TlsContext::system(FetchResult& failure)
{
    static std::mutex mutex;
    static std::shared_ptr<TlsContext> shared;
    std::lock_guard lock(mutex);
    if (!shared)
        shared = make({}, failure);
    return shared;
}

std::shared_ptr<TlsContext> TlsContext::withAnchor(const QByteArray& anchorPem, FetchResult& failure)
{
    return make(anchorPem, failure);
}

TlsStream::TlsStream(std::unique_ptr<ByteStream> inner, std::shared_ptr<TlsContext> context)
    : m_inner(std::move(inner)), m_context(std::move(context))
{
}

TlsStream::~TlsStream()
{
    SSL_free(m_ssl);
}

int TlsStream::bioRead(BIO* bio, char* data, int size)
{
    auto* self = static_cast<TlsStream*>(BIO_get_data(bio));
    const StreamIo io = self->m_inner->read(data, static_cast<std::size_t>(size), self->m_timeoutMs);
    if (io.failed()) {
        self->m_innerFailure = io;
        return -1;
    }
    return static_cast<int>(io.bytes);
}

int TlsStream::bioWrite(BIO* bio, const char* data, int size)
{
    auto* self = static_cast<TlsStream*>(BIO_get_data(bio));
    const StreamIo io = self->m_inner->write(data, static_cast<std::size_t>(size));
    if (io.failed()) {
        self->m_innerFailure = io;
        return -1;
    }
    return static_cast<int>(io.bytes);
}

std::unique_ptr<TlsStream> TlsStream::handshake(std::unique_ptr<ByteStream> inner, std::shared_ptr<TlsContext> context,
                                                const QByteArray& host, int timeoutMs, FetchResult& failure)
{
    std::unique_ptr<TlsStream> stream(new TlsStream(std::move(inner), context));
    stream->m_timeoutMs = timeoutMs;
    stream->m_ssl = SSL_new(context->handle());
    BIO* bio = stream->m_ssl ? BIO_new(StreamBioMethod(&TlsStream::bioRead, &TlsStream::bioWrite)) : nullptr;
    if (!bio) {
        failure = FetchResult::failure(FetchError::TlsFailed, OpenSslErrorText("TLS cannot start"));
        return nullptr;
    }
    BIO_set_data(bio, stream.get());
    SSL_set_bio(stream->m_ssl, bio, bio);

    if (IpAddress::parse(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(stream->m_ssl), host.constData());
    } else {
        SSL_set_tlsext_host_name(stream->m_ssl, host.constData());
        SSL_set_hostflags(stream->m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(stream->m_ssl, host.constData());
    }
    ERR_clear_error();
    const int rc = SSL_connect(stream->m_ssl);
    if (rc != 1) {
        const long verify = SSL_get_verify_result(stream->m_ssl);
        if (stream->m_innerFailure.failed()) {
            failure = stream->m_innerFailure.asResult();
        } else if (verify != X509_V_OK) {
            failure = FetchResult::failure(FetchError::TlsFailed, CertificateReason(verify));
        } else {
            failure = FetchResult::failure(FetchError::TlsFailed, OpenSslErrorText("TLS handshake failed"));
        }
        ERR_clear_error();
        return nullptr;
    }
    return stream;
}

StreamIo TlsStream::failure(int sslResult, bool reading)
{
    StreamIo io;
    const int code = SSL_get_error(m_ssl, sslResult);
    if (code == SSL_ERROR_ZERO_RETURN && reading) {
        ERR_clear_error();
        return io;  // close_notify: an orderly close
    }
    if (m_innerFailure.failed()) {
        io = m_innerFailure;
        m_innerFailure = {};
    } else if (code == SSL_ERROR_SYSCALL && reading) {
        io = {};  // the peer closed the socket without close_notify
    } else {
        io.error = reading ? FetchError::ReadFailed : FetchError::SendFailed;
        io.text = OpenSslErrorText("TLS connection failed");
    }
    ERR_clear_error();
    return io;
}

StreamIo TlsStream::read(char* data, std::size_t size, int timeoutMs)
{
    m_timeoutMs = timeoutMs;
    std::size_t got = 0;
    ERR_clear_error();
    const int rc = SSL_read_ex(m_ssl, data, size, &got);
    if (rc != 1)
        return failure(rc, true);
    StreamIo io;
    io.bytes = static_cast<std::ptrdiff_t>(got);
    return io;
}

StreamIo TlsStream::write(const char* data, std::size_t size)
{
    std::size_t done = 0;
    ERR_clear_error();
    const int rc = SSL_write_ex(m_ssl, data, size, &done);
    if (rc != 1)
        return failure(rc, false);
    StreamIo io;
    io.bytes = static_cast<std::ptrdiff_t>(done);
    return io;
}

bool TlsStream::idleAndOpen()
{
    return SSL_pending(m_ssl) == 0 && m_inner->idleAndOpen();
}
