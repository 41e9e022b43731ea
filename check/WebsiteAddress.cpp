#include "check/WebsiteAddress.h"

#include "check/WebUrl.h"

namespace {

QByteArrayView WithoutTrailingDot(QByteArrayView host)
{
    return host.endsWith('.') ? host.chopped(1) : host;
}

qsizetype FindAny(QByteArrayView text, QByteArrayView stops)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (stops.contains(text[i]))
            return i;
    }
    return text.size();
}

}  // namespace

WebsiteAddress::WebsiteAddress(QByteArrayView url)
{
    QByteArrayView text = url.trimmed();
    if (const qsizetype scheme = text.indexOf("://"); scheme >= 0)
        text = text.sliced(scheme + 3);
    const qsizetype hostEnd = FindAny(text, "/:?#");
    QByteArray host = text.first(hostEnd).toByteArray().toLower();
    if (host.startsWith("www."))
        host.remove(0, 4);
    m_host = WithoutTrailingDot(WebHost(host)).toByteArray();

    // A port after the host is no part of the path.
    const QByteArrayView rest = text.sliced(hostEnd);
    const qsizetype pathStart = rest.startsWith(':') ? FindAny(rest, "/?#") : 0;
    const QByteArrayView path = rest.sliced(pathStart).first(FindAny(rest.sliced(pathStart), "?#"));
    if (!path.isEmpty()) {
        m_pathPrefix = WebPath(path);
        if (m_pathPrefix == "/")
            m_pathPrefix.clear();
    }
}

bool WebsiteAddress::coversHost(QByteArrayView host) const
{
    host = WithoutTrailingDot(host);
    return !m_host.isEmpty() &&
        (host == m_host || (host.endsWith(m_host) && host[host.size() - m_host.size() - 1] == '.'));
}

bool WebsiteAddress::isTargetOf(const WebUrl& url) const
{
    if (url.hasUserinfo || !coversHost(url.host))
        return false;
    if (m_pathPrefix.isEmpty() || url.path.startsWith(m_pathPrefix))
        return true;
    // "mysite.example/blog/" is also linked by ".../blog".
    return m_pathPrefix.endsWith('/') && url.path == QByteArrayView(m_pathPrefix).chopped(1);
}
