#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct WebUrl;

// The website a link should point to, taken from the website's Url as the user typed it: the host,
// without a scheme before it and without one leading "www.", and any path after it as a prefix
// that the link's path must start with.
class WebsiteAddress {
public:
    explicit WebsiteAddress(QByteArrayView url);

    // In lower case and ASCII (IDNA) form; empty when the Url names no usable host.
    const QByteArray& host() const { return m_host; }
    // Empty when the Url has no path beyond "/".
    const QByteArray& pathPrefix() const { return m_pathPrefix; }

    // The host is the website's or one of its subdomains, the path is under the prefix, and the
    // address carries no userinfo ("https://mysite.example@evil.test/" goes to evil.test).
    bool isTargetOf(const WebUrl& url) const;
    // Whether a host (as WebUrl keeps it) is the website's or one of its subdomains.
    bool coversHost(QByteArrayView host) const;

private:
    QByteArray m_host;
    QByteArray m_pathPrefix;
};
