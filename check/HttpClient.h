#pragma once

#include "check/CancelToken.h"
#include "check/FetchResult.h"
#include "check/HttpClientConfig.h"

#include <QByteArray>

#include <memory>

class ByteStream;
class CookieJar;
class ResponseReader;
class TlsContext;
struct HttpUrl;
struct ResponseHead;

// GETs one page over HTTP/1.1, or https over TLS, directly or through an HTTP proxy, following
// redirects. Each get() is a fetch of its own: its connections, cookies and request count end with
// it. A client is used by one thread; only abort() may be called from another.
class HttpClient {
public:
    // The requests one fetch may make, so at most 14 redirects are followed.
    static constexpr int MaxRequests = 15;

    explicit HttpClient(HttpClientConfig config = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The body of the page, or why there is none. A redirect chain still redirecting at the last
    // allowed request ends without failure and with an empty body.
    FetchResult get(QByteArrayView url);

    bool connected() const;
    void disconnect();

    // Makes a fetch in progress, and every later one, fail with FetchError::Aborted as soon as it
    // can: a blocked connect, read or write returns at once. Name resolution is not interrupted, but
    // its result is not used. Safe from any thread.
    void abort();

    const HttpClientConfig& config() const { return m_config; }

private:
    struct Route;
    struct Connection;

    FetchResult fetch(QByteArrayView url, FetchResult& record);
    FetchResult route(const HttpUrl& url, Route& route) const;
    FetchResult exchange(const Route& route, const HttpUrl& url, const CookieJar& cookies, ResponseHead& head);
    FetchResult open(const Route& route);
    FetchResult openTunnel(ByteStream& stream, const Route& route);
    FetchResult readBody(const ResponseHead& head, QByteArray* body, int drainMs);
    QByteArray request(const HttpUrl& url, const Route& route, const CookieJar& cookies) const;
    QByteArray proxyAuthorization() const;

    HttpClientConfig m_config;
    CancelToken m_cancel;
    qint64 m_bytesReceived = 0;  // by the fetch under way
    std::unique_ptr<Connection> m_connection;
    std::shared_ptr<TlsContext> m_tls;
};
