#pragma once

#include "check/FetchResult.h"

#include <QByteArray>

// A request URL taken apart the way the client needs it.
struct HttpUrl {
    QByteArray scheme;    // as written; compared without regard to case
    QByteArray user;      // parsed, never sent
    QByteArray password;  // parsed, never sent
    QByteArray host;      // as written; an IPv6 literal keeps its brackets
    QByteArray portText;  // as written, or the default port's digits
    quint16 port = 80;
    QByteArray path;  // path and query, beginning with "/", percent-encoded as a request target; no fragment

    bool isHttps() const;
    // The host as a name or address to look up or connect to: an IPv6 literal without its brackets.
    QByteArray address() const;
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
// same fetch (null at the first), whose Location `text` is: a reference of a scheme other than http
// or https is refused, a relative one is resolved against `previous`, keeping its scheme, host and
// port, and a network-path one ("//host/path") keeps its scheme. At the first request the scheme is
// the text before "://", a URL without it is refused, and one of another scheme is fetched over
// HTTP, from port 80 unless it names one. Bytes a request target cannot hold are percent-encoded.
UrlResult ParseRequestUrl(QByteArrayView text, const HttpUrl* previous);
// `target` with blanks, bytes above 126 and the characters RFC 3986 allows nowhere (the double quote
// and <>\^`{|}) percent-encoded, as browsers send them. Control characters are refused before.
QByteArray EncodeTarget(QByteArrayView target);
// Bytes below 32 and 127: never sent in a request line or a header.
bool HasControlCharacter(QByteArrayView text);

// Removes "." and ".." segments from a path (the query, if any, is left alone).
QByteArray RemoveDotSegments(QByteArrayView path);
