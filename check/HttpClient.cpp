#include "check/HttpClient.h"

#include "check/CookieJar.h"
#include "check/HttpUrl.h"
#include "check/ResponseReader.h"
#include "check/SocketStream.h"
#include "check/TlsStream.h"

#include <chrono>

namespace {

FetchResult Aborted()
{
    return FetchResult::failure(FetchError::Aborted, QStringLiteral("aborted"));
}

}  // namespace

// Where a request goes: the host and port connected to, whether TLS runs on the connection, and
// for a tunnel through the proxy the "host:port" asked for with CONNECT.
struct HttpClient::Route {
    QByteArray host;
    quint16 port = 0;
    bool viaProxy = false;
    bool tls = false;
    QByteArray tlsHost;
    QByteArray tunnel;

    bool operator==(const Route&) const = default;
};

struct HttpClient::Connection {
    Route route;
    std::unique_ptr<ByteStream> stream;
    std::unique_ptr<ResponseReader> reader;
};

HttpClient::HttpClient(HttpClientConfig config) : m_config(std::move(config))
{
}

HttpClient::~HttpClient() = default;

bool HttpClient::connected() const
{
    return m_connection != nullptr;
}

void HttpClient::disconnect()
{
    m_connection.reset();
}

void HttpClient::abort()
{
    m_cancel.cancel();
}

FetchResult HttpClient::get(QByteArrayView url)
{
    const auto start = std::chrono::steady_clock::now();
    m_bytesReceived = 0;
    // How the fetch went is gathered beside its outcome and joined to it at the end, whatever step
    // the outcome comes from.
    FetchResult record;
    FetchResult result = m_cancel.cancelled() ? Aborted() : fetch(url, record);
    disconnect();
    if (m_cancel.cancelled())
        result = Aborted();
    result.finalUrl = std::move(record.finalUrl);
    result.redirects = std::move(record.redirects);
    result.headers = std::move(record.headers);
    result.bytesReceived = m_bytesReceived;
    result.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return result;
}

FetchResult HttpClient::fetch(QByteArrayView url, FetchResult& record)
{
    CookieJar cookies;
    HttpUrl previous;
    QByteArray next = url.toByteArray();
    record.finalUrl = next;
    for (int count = 1;; ++count) {
        const UrlResult parsed = ParseRequestUrl(next, count > 1 ? &previous : nullptr);
        if (!parsed.failure)
            return parsed.failure;
        const HttpUrl& current = parsed.url;
        record.finalUrl = current.displayUrl();
        Route target;
        if (FetchResult r = route(current, target); !r)
            return r;
        ResponseHead head;
        if (FetchResult r = exchange(target, current, cookies, head); !r)
            return r;
        cookies.take(current, head);
        record.headers = head.headers;

        const QByteArray location = head.value("Location");
        const bool redirect = (head.status >= 300 && head.status < 400 && head.status != 304) || !location.isEmpty();
        if (redirect && m_config.followRedirects) {
            readBody(head, nullptr, m_config.redirectDrainMs);
            record.redirects.push_back({record.finalUrl, head.status});
            if (count >= MaxRequests) {
                FetchResult last;
                last.status = head.status;
                return last;
            }
            next = location;
            previous = current;
            continue;
        }
        if (head.status >= 200 && head.status < 300 && !redirect) {
            if (head.cutOff)
                return FetchResult::failure(FetchError::HttpStatus, QStringLiteral("header section cut off"),
                                            head.status);
            FetchResult page;
            page.status = head.status;
            if (FetchResult r = readBody(head, &page.body, 0); !r) {
                r.status = head.status;
                return r;
            }
            return page;
        }
        readBody(head, nullptr, m_config.errorDrainMs);
        return FetchResult::failure(FetchError::HttpStatus, QStringLiteral("status %1").arg(head.status), head.status);
    }
}

FetchResult HttpClient::route(const HttpUrl& url, Route& route) const
{
    route = Route{};
    route.tls = url.isHttps();
    if (m_config.proxyHost.isEmpty()) {
        route.host = url.host;
        route.port = url.port;
    } else {
        if (m_config.proxyPort < 1 || m_config.proxyPort > 65535 || HasControlCharacter(m_config.proxyHost))
            return FetchResult::failure(FetchError::ProxyFailed, QStringLiteral("unusable proxy setting"));
        route.host = m_config.proxyHost;
        route.port = static_cast<quint16>(m_config.proxyPort);
        route.viaProxy = true;
        if (route.tls)
            route.tunnel = url.host + ':' + url.portText;
    }
    if (route.tls)
        route.tlsHost = url.host;
    return {};
}

QByteArray HttpClient::proxyAuthorization() const
{
    return "Basic " + (m_config.proxyUser + ':' + m_config.proxyPassword).toBase64();
}

QByteArray HttpClient::request(const HttpUrl& url, const Route& route, const CookieJar& cookies) const
{
    const bool absolute = route.viaProxy && route.tunnel.isEmpty();
    QByteArray text;
    text.reserve(256);
    text += "GET ";
    text += absolute ? url.absoluteTarget() : url.path;
    text += " HTTP/1.1\r\nHost: ";
    text += url.hostHeader();
    text += "\r\nAccept: text/html, */*\r\nUser-Agent: ";
    text += m_config.userAgent;
    text += "\r\n";
    // Inside a tunnel the server is the page's own; the proxy's credentials went with CONNECT.
    if (m_config.proxyBasicAuth && route.tunnel.isEmpty())
        text += "Proxy-Authorization: " + proxyAuthorization() + "\r\n";
    const QByteArray cookie = cookies.headerFor(url);
    if (!cookie.isEmpty())
        text += "Cookie: " + cookie + "\r\n";
    text += "\r\n";
    return text;
}

FetchResult HttpClient::exchange(const Route& route, const HttpUrl& url, const CookieJar& cookies, ResponseHead& head)
{
    bool reused = m_connection && m_connection->route == route && m_connection->reader->reusable() &&
        m_connection->stream->idleAndOpen();
    if (!reused) {
        m_connection.reset();
        if (FetchResult r = open(route); !r)
            return r;
    }
    const QByteArray text = request(url, route, cookies);
    for (;;) {
        const StreamIo io = m_connection->stream->write(text.constData(), static_cast<std::size_t>(text.size()));
        FetchResult r;
        if (io.failed())
            r = FetchResult::failure(io.error, io.text);
        else
            r = m_connection->reader->readHead(head);
        if (r)
            return r;
        // A kept connection the server dropped meanwhile: try once more on a new one.
        const bool stale = reused && (io.failed() || m_connection->reader->nothingReceived()) &&
            r.error != FetchError::Aborted && r.error != FetchError::ReadTimeout;
        m_connection.reset();
        if (!stale)
            return r;
        reused = false;
        if (FetchResult again = open(route); !again)
            return again;
    }
}

FetchResult HttpClient::open(const Route& route)
{
    FetchResult failure;
    std::unique_ptr<SocketStream> socket =
        SocketStream::connect(route.host, route.port, m_config.connectTimeoutMs, m_cancel, failure);
    if (!socket)
        return failure;
    if (m_config.connectTimeoutMs > 0)
        socket->setWriteTimeout(m_config.readTimeoutMs);
    std::unique_ptr<ByteStream> stream = std::move(socket);
    if (!route.tunnel.isEmpty()) {
        if (FetchResult r = openTunnel(*stream, route); !r)
            return r;
    }
    if (route.tls) {
        if (!m_tls)
            m_tls = m_config.extraTrustAnchorPem.isEmpty()
                ? TlsContext::system(failure)
                : TlsContext::withAnchor(m_config.extraTrustAnchorPem, failure);
        if (!m_tls)
            return failure;
        const int timeout = m_config.readTimeoutMs > 0 ? m_config.readTimeoutMs : -1;
        stream = TlsStream::handshake(std::move(stream), m_tls, route.tlsHost, timeout, failure);
        if (!stream)
            return failure;
    }
    m_connection = std::make_unique<Connection>();
    m_connection->route = route;
    m_connection->reader = std::make_unique<ResponseReader>(*stream, m_config.readTimeoutMs, &m_bytesReceived);
    m_connection->stream = std::move(stream);
    return {};
}

FetchResult HttpClient::openTunnel(ByteStream& stream, const Route& route)
{
    QByteArray text = "CONNECT " + route.tunnel + " HTTP/1.1\r\nHost: " + route.tunnel +
        "\r\nUser-Agent: " + m_config.userAgent + "\r\n";
    if (m_config.proxyBasicAuth)
        text += "Proxy-Authorization: " + proxyAuthorization() + "\r\n";
    text += "\r\n";
    const StreamIo io = stream.write(text.constData(), static_cast<std::size_t>(text.size()));
    if (io.failed())
        return FetchResult::failure(io.error, io.text);
    ResponseReader reader(stream, m_config.readTimeoutMs, &m_bytesReceived);
    ResponseHead head;
    if (FetchResult r = reader.readHead(head); !r)
        return r;
    if (head.status < 200 || head.status >= 300 || head.cutOff)
        return FetchResult::failure(FetchError::ProxyFailed,
                                    QStringLiteral("proxy refused the tunnel: status %1").arg(head.status),
                                    head.status);
    // A 2xx answer to CONNECT has no body, so every byte after it is the page server's.
    if (reader.bufferedBytes() != 0)
        return FetchResult::failure(FetchError::ProxyFailed, QStringLiteral("proxy sent data into the tunnel"));
    return {};
}

FetchResult HttpClient::readBody(const ResponseHead& head, QByteArray* body, int drainMs)
{
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (drainMs > 0)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(drainMs);
    FetchResult r = m_connection->reader->readBody(head, body, deadline);
    if (!r || !m_connection->reader->reusable())
        m_connection.reset();
    return r;
}
