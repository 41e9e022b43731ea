#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// An http or https address as a browser reads one in a page: surrounding blanks and control bytes
// stripped, tabs and line breaks dropped, backslashes taken for slashes, any run of slashes after
// the scheme skipped, the host percent-decoded and brought to its ASCII (IDNA) form in lower case,
// "." and ".." segments resolved and the bytes a browser would escape percent-encoded. Addresses of
// other schemes are not links to a website and are not taken.
struct WebUrl {
    QByteArray scheme;    // "http" or "https"
    QByteArray userinfo;  // what came before the last "@" of the authority
    QByteArray host;      // lower case, ASCII; an IPv6 address keeps its brackets
    QByteArray path;      // begins with "/"
    QByteArray query;     // without its "?"
    QByteArray fragment;  // without its "#"
    int port = -1;        // -1: the scheme's default
    bool hasUserinfo = false;
    bool hasQuery = false;
    bool hasFragment = false;

    // `input` resolved against `base` (null: `input` must be absolute), or nothing when the result
    // would not be an http or https address with a host.
    static std::optional<WebUrl> parse(QByteArrayView input, const WebUrl* base = nullptr);

    QByteArray toEncoded() const;
    // The address as compared for a canonical: the scheme and host already lower-cased, the default
    // port dropped, the path at least "/", and the fragment left out.
    QByteArray withoutFragment() const;

    bool operator==(const WebUrl&) const = default;
};

// A host as WebUrl keeps it: percent-decoded, in lower case, non-ASCII names in their IDNA form.
// Empty when the text is no usable host name.
QByteArray WebHost(QByteArrayView text);

// A path as WebUrl keeps it: backslashes as slashes, dot segments resolved, percent-encoded.
QByteArray WebPath(QByteArrayView path);
