#pragma once

#include <QByteArray>
#include <QList>

struct HttpUrl;
struct ResponseHead;

// The cookies of one fetch: taken from "Set-cookie" and "Set-cookie2" headers and sent back on the
// later requests of the same fetch that they apply to. Expiry dates are not kept: a fetch is short,
// so a cookie lives until it is replaced, removed (Max-Age of 0 or less) or the fetch ends.
class CookieJar {
public:
    void take(const HttpUrl& url, const ResponseHead& head);
    // The Cookie header's value for a request of `url`; empty when no cookie applies.
    QByteArray headerFor(const HttpUrl& url) const;
    qsizetype size() const { return m_cookies.size(); }

private:
    struct Cookie {
        QByteArray name;
        QByteArray value;
        QByteArray domain;  // lower case, without a leading dot
        bool hostOnly = true;
        QByteArray path;
        bool secure = false;
    };
    void take(const HttpUrl& url, QByteArrayView line);

    QList<Cookie> m_cookies;
};
