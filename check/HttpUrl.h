#pragma once

#include "check/FetchResult.h"

#include <QByteArray>

// A request URL taken apart the way the client needs it.
struct HttpUrl {
    QByteArray scheme;    // as written; compared without regard to case
    QByteArray user;      // parsed, never sent
    QByteArray password;  // parsed, never sent
    QByteArray host;
    QByteArray portText;  // as written, or the default port's digits
    quint16 port = 80;
    QByteArray path;  // path and query, beginning with "/"; the fragment is gone

    bool isHttps() const;
    // The Host header's value: the host, with ":" and the port unless the port text is "80".
    QByteArray hostHeader() const;
    // The request target through a proxy: scheme, "://", host, ":", port (always), path and query.
    QByteArray absoluteTarget() const;
    // The address as a person reads it: scheme in lower case, host, the port only when it is not
    // the scheme's default, path and query.
    QByteArray displayUrl() const;
};

struct UrlResult {
    HttpUrl url;
    FetchResult failure;  // set when the text cannot be used
};

// Parses `text` as the next request of a fetch. `previous` is the URL of the previous request of the
// same fetch (null at the first): a URL of a scheme other than http or https without a port takes
// its port, and a reference without "://" (a relative Location) is resolved against it, keeping its
// scheme, host and port. At the first request a URL without "://" is refused.
UrlResult ParseRequestUrl(QByteArrayView text, const HttpUrl* previous);
// Bytes below 32 and 127: never sent in a request line or a header.
bool HasControlCharacter(QByteArrayView text);

// Removes "." and ".." segments from a path (the query, if any, is left alone).
QByteArray RemoveDotSegments(QByteArrayView path);
