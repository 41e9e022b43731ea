#pragma once

#include "check/CancelToken.h"
#include "check/FetchResult.h"
#include "check/HostGate.h"
#include "check/HttpClientConfig.h"

#include <QByteArray>

#include <memory>

class ByteStream;
class CookieJar;
class Resolver;
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
    // allowed request ends without failure and with an empty body. A passing fault is tried once
    // more when the configuration says so; the result is the last attempt's, with every attempt
    // listed.
    FetchResult get(QByteArrayView url);

    bool connected() const;
    void disconnect();

    // Makes a fetch in progress, and every later one, fail with FetchError::Aborted as soon as it
    // can: a blocked look-up, connect, read, write, pause or wait for the host returns at once.
    // Safe from any thread.
    void abort();

    const HttpClientConfig& config() const { return m_config; }

private:
    // Where a request goes: the host and port connected to, whether TLS runs on the connection, and
    // for a tunnel through the proxy the "host:port" asked for with CONNECT.
    struct Route {
        QByteArray host;
        quint16 port = 0;
        bool viaProxy = false;
        bool tls = false;
        QByteArray tlsHost;
        QByteArray tunnel;

        bool operator==(const Route&) const = default;
    };
    struct Connection {
        Route route;
        std::unique_ptr<ByteStream> stream;
        std::unique_ptr<ResponseReader> reader;
    };

    FetchResult attempt(QByteArrayView url);
    FetchResult fetch(QByteArrayView url, FetchResult& record);
    FetchResult stopped() const;
    FetchResult passGate(const HttpUrl& url);
    FetchResult route(const HttpUrl& url, Route& route) const;
    FetchResult exchange(const Route& route, const HttpUrl& url, const CookieJar& cookies, ResponseHead& head);
    FetchResult open(const Route& route);
    FetchResult openTunnel(ByteStream& stream, const Route& route);
    FetchResult readBody(const ResponseHead& head, QByteArray* body, int drainMs);
    QByteArray request(const HttpUrl& url, const Route& route, const CookieJar& cookies) const;
    QByteArray proxyAuthorization() const;

    HttpClientConfig m_config;
    std::shared_ptr<Resolver> m_resolver;
    CancelToken m_cancel;
    qint64 m_bytesReceived = 0;  // by the fetch under way
    HostGate::Pass m_pass;       // the host the fetch under way talks to
    std::unique_ptr<Connection> m_connection;
    std::shared_ptr<TlsContext> m_tls;
};
