#include "check/CookieJar.h"

#include "check/HttpUrl.h"
#include "check/ResponseReader.h"

namespace {

// A page may set many cookies, but a hostile one must not grow the requests without bound.
constexpr qsizetype MaxCookies = 100;

bool Unsafe(QByteArrayView text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            return true;
    }
    return false;
}

QByteArray PathOnly(const QByteArray& path)
{
    const qsizetype query = path.indexOf('?');
    return query < 0 ? path : path.first(query);
}

// The default path of a cookie: the directory of the request path, without its final slash.
QByteArray DefaultPath(const HttpUrl& url)
{
    const QByteArray path = PathOnly(url.path);
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.first(slash);
}

bool DomainMatches(const QByteArray& host, const QByteArray& domain)
{
    return host == domain || (host.endsWith('.' + domain) && host.size() > domain.size() + 1);
}

bool PathMatches(const QByteArray& requestPath, const QByteArray& cookiePath)
{
    if (!requestPath.startsWith(cookiePath))
        return false;
    return requestPath.size() == cookiePath.size() || cookiePath.endsWith('/') ||
        requestPath.at(cookiePath.size()) == '/';
}

}  // namespace

void CookieJar::take(const HttpUrl& url, const ResponseHead& head)
{
    for (const auto& [name, value] : head.headers) {
        if (name.compare("Set-cookie", Qt::CaseInsensitive) == 0 ||
            name.compare("Set-cookie2", Qt::CaseInsensitive) == 0)
            take(url, value);
    }
}

void CookieJar::take(const HttpUrl& url, QByteArrayView line)
{
    const QList<QByteArray> parts = line.toByteArray().split(';');
    const qsizetype equals = parts.first().indexOf('=');
    if (equals <= 0)
        return;
    Cookie cookie;
    cookie.name = parts.first().first(equals).trimmed();
    cookie.value = parts.first().sliced(equals + 1).trimmed();
    if (cookie.name.isEmpty() || Unsafe(cookie.name) || Unsafe(cookie.value) || cookie.name.contains('='))
        return;
    const QByteArray host = url.host.toLower();
    cookie.domain = host;
    cookie.path = DefaultPath(url);
    bool remove = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray attribute = parts[i].trimmed();
        const qsizetype eq = attribute.indexOf('=');
        const QByteArray key = (eq < 0 ? attribute : attribute.first(eq)).trimmed().toLower();
        const QByteArray value = eq < 0 ? QByteArray() : attribute.sliced(eq + 1).trimmed();
        if (key == "domain" && !value.isEmpty()) {
            QByteArray domain = value.toLower();
            if (domain.startsWith('.'))
                domain.remove(0, 1);
            // A server may widen a cookie to its own parent domain, never to another site.
            if (!DomainMatches(host, domain))
                return;
            cookie.domain = domain;
            cookie.hostOnly = false;
        } else if (key == "path" && value.startsWith('/')) {
            cookie.path = value;
        } else if (key == "secure") {
            cookie.secure = true;
        } else if (key == "max-age") {
            bool ok = false;
            remove = value.toLongLong(&ok) <= 0 && ok;
        }
    }
    for (qsizetype i = 0; i < m_cookies.size(); ++i) {
        const Cookie& old = m_cookies[i];
        if (old.name == cookie.name && old.domain == cookie.domain && old.path == cookie.path) {
            m_cookies.removeAt(i);
            break;
        }
    }
    if (!remove && m_cookies.size() < MaxCookies)
        m_cookies.append(cookie);
}

QByteArray CookieJar::headerFor(const HttpUrl& url) const
{
    const QByteArray host = url.host.toLower();
    const QByteArray path = PathOnly(url.path);
    QByteArray header;
    for (const Cookie& cookie : m_cookies) {
        const bool domainOk = cookie.hostOnly ? host == cookie.domain : DomainMatches(host, cookie.domain);
        if (!domainOk || !PathMatches(path, cookie.path) || (cookie.secure && !url.isHttps()))
            continue;
        if (!header.isEmpty())
            header += "; ";
        header += cookie.name + '=' + cookie.value;
    }
    return header;
}
