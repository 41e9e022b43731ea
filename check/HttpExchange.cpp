// The request and response of one step of a fetch: where it goes, what is sent, the connection it
// runs on and the body it reads.
#include "check/ByteStream.h"
#include "check/CookieJar.h"
#include "check/FetchReasons.h"
#include "check/HttpClient.h"
#include "check/HttpUrl.h"
#include "check/ResponseReader.h"
#include "check/SocketStream.h"
#include "check/TlsStream.h"

#include <chrono>

FetchResult HttpClient::route(const HttpUrl& url, Route& route) const
{
    route = Route{};
    route.tls = url.isHttps();
    if (m_config.proxyHost.isEmpty()) {
        route.host = url.address();
        route.port = url.port;
    } else {
        if (m_config.proxyPort < 1 || m_config.proxyPort > 65535 || HasControlCharacter(m_config.proxyHost))
            return FetchResult::failure(FetchError::ProxyFailed, QStringLiteral("The proxy setting cannot be used"));
        route.host = UnbracketedHost(m_config.proxyHost);
        route.port = static_cast<quint16>(m_config.proxyPort);
        route.viaProxy = true;
        if (route.tls)
            route.tunnel = url.host + ':' + url.portText;
    }
    if (route.tls)
        route.tlsHost = url.address();
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
    if (m_config.acceptCompression)
        text += "Accept-Encoding: gzip, deflate\r\n";
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
            r = io.asResult();
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
        SocketStream::connect(route.host, route.port, m_config.connectTimeoutMs, *m_resolver, m_cancel, failure);
    if (!socket)
        return failure;
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
        return io.asResult();
    ResponseReader reader(stream, m_config.readTimeoutMs, &m_bytesReceived);
    ResponseHead head;
    if (FetchResult r = reader.readHead(head); !r)
        return r;
    if (head.status < 200 || head.status >= 300 || head.cutOff)
        return FetchResult::failure(FetchError::ProxyFailed,
                                    QStringLiteral("The proxy refused the tunnel: %1").arg(StatusReason(head.status)),
                                    head.status);
    // A 2xx answer to CONNECT has no body, so every byte after it is the page server's.
    if (reader.bufferedBytes() != 0)
        return FetchResult::failure(FetchError::ProxyFailed, QStringLiteral("The proxy sent data into the tunnel"));
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
