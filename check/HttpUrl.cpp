#include "check/HttpUrl.h"

#include "check/Resolver.h"

#include <QList>

#include <algorithm>

namespace {

UrlResult Invalid(const char* why)
{
    UrlResult result;
    result.failure = FetchResult::failure(FetchError::InvalidUrl, QString::fromLatin1(why));
    return result;
}

// The path and query without the fragment; "/" when empty.
QByteArray DropFragment(QByteArrayView path)
{
    const qsizetype hash = path.indexOf('#');
    return (hash < 0 ? path : path.first(hash)).toByteArray();
}

QByteArray ResolvePath(QByteArrayView reference, const QByteArray& base)
{
    if (reference.startsWith('/'))
        return reference.toByteArray();
    const qsizetype baseQuery = base.indexOf('?');
    const QByteArrayView basePath = baseQuery < 0 ? QByteArrayView(base) : QByteArrayView(base).first(baseQuery);
    if (reference.isEmpty())
        return base;
    if (reference.startsWith('?'))
        return basePath.toByteArray() + reference.toByteArray();
    const QByteArrayView directory = basePath.first(basePath.lastIndexOf('/') + 1);
    const QByteArray joined = directory.toByteArray() + reference.toByteArray();
    const qsizetype query = joined.indexOf('?');
    if (query < 0)
        return RemoveDotSegments(joined);
    return RemoveDotSegments(QByteArrayView(joined).first(query)) + QByteArrayView(joined).sliced(query).toByteArray();
}

// The length of the RFC 3986 scheme at the start of `reference` (a letter, then letters, digits,
// "+", "-" or "."), up to its ":"; -1 when it does not start with one.
qsizetype SchemeLength(QByteArrayView reference)
{
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (reference.isEmpty() || !letter(reference[0]))
        return -1;
    for (qsizetype i = 1; i < reference.size(); ++i) {
        const char c = reference[i];
        if (c == ':')
            return i;
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return -1;
    }
    return -1;
}

QByteArray Shortened(const QByteArray& text, qsizetype most)
{
    return text.size() <= most ? text : text.first(most) + "...";
}

}  // namespace

QByteArray EncodeTarget(QByteArrayView target)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(target.size());
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 0x0f];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

bool HasControlCharacter(QByteArrayView text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            return true;
    }
    return false;
}

bool HttpUrl::isHttps() const
{
    return scheme.compare("https", Qt::CaseInsensitive) == 0;
}

QByteArray HttpUrl::address() const
{
    if (host.startsWith('[') && host.endsWith(']'))
        return host.sliced(1, host.size() - 2);
    return host;
}

QByteArray HttpUrl::hostHeader() const
{
    return portText == "80" ? host : host + ':' + portText;
}

QByteArray HttpUrl::absoluteTarget() const
{
    return scheme + "://" + host + ':' + portText + path;
}

QByteArray HttpUrl::displayUrl() const
{
    const bool https = isHttps();
    const bool defaultPort = portText == (https ? "443" : "80");
    return (https ? "https://" : "http://") + (defaultPort ? host : host + ':' + portText) + path;
}

QByteArray RemoveDotSegments(QByteArrayView path)
{
    const qsizetype query = path.indexOf('?');
    const QByteArrayView part = query < 0 ? path : path.first(query);
    QList<QByteArrayView> out;
    const bool absolute = part.startsWith('/');
    qsizetype pos = absolute ? 1 : 0;
    bool endsInDirectory = false;
    while (pos <= part.size()) {
        qsizetype slash = part.indexOf('/', pos);
        if (slash < 0)
            slash = part.size();
        const QByteArrayView segment = part.sliced(pos, slash - pos);
        const bool last = slash == part.size();
        endsInDirectory = false;
        if (segment == "..") {
            if (!out.isEmpty())
                out.removeLast();
            endsInDirectory = true;
        } else if (segment == ".") {
            endsInDirectory = true;
        } else {
            out.append(segment);
        }
        if (last)
            break;
        pos = slash + 1;
    }
    QByteArray result = absolute ? QByteArray("/") : QByteArray();
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (i > 0)
            result += '/';
        result += out[i].toByteArray();
    }
    if (endsInDirectory && !result.endsWith('/') && !out.isEmpty())
        result += '/';
    if (query >= 0)
        result += path.sliced(query).toByteArray();
    return result;
}

UrlResult ParseRequestUrl(QByteArrayView text, const HttpUrl* previous)
{
    QByteArray url = text.toByteArray();
    url.replace('\\', '/');
    // Nothing that reaches the request line may end it early or start another header.
    if (HasControlCharacter(url))
        return Invalid("Address holds a control character");

    // A Location is read as RFC 3986 reads a reference: a scheme only at its start, so that "://"
    // inside a query does not make a relative reference absolute.
    bool relative = false;
    if (previous) {
        const qsizetype schemeLength = SchemeLength(url);
        if (schemeLength > 0) {
            const QByteArray scheme = url.first(schemeLength).toLower();
            if (scheme != "http" && scheme != "https") {
                UrlResult refused;
                refused.failure = FetchResult::failure(
                    FetchError::InvalidUrl,
                    QStringLiteral("Redirect to a %1: address").arg(QString::fromLatin1(Shortened(scheme, 20))));
                return refused;
            }
            if (!QByteArrayView(url).sliced(schemeLength + 1).startsWith("//")) {
                url.remove(0, schemeLength + 1);  // "http:page.html" is relative, as browsers take it
                relative = true;
            }
        } else if (url.startsWith("//")) {
            url.prepend(previous->scheme + ':');  // a network-path reference keeps the scheme only
        } else {
            relative = true;
        }
    }

    const qsizetype schemeEnd = relative ? -1 : url.indexOf("://");
    if (schemeEnd < 0) {
        if (!previous)
            return Invalid("Address lacks \"http://\"");
        UrlResult result;
        result.url = *previous;
        result.url.user.clear();
        result.url.password.clear();
        result.url.path = ResolvePath(DropFragment(url), previous->path);
        if (result.url.path.isEmpty())
            result.url.path = "/";
        result.url.path = EncodeTarget(result.url.path);
        return result;
    }

    UrlResult result;
    HttpUrl& parsed = result.url;
    parsed.scheme = url.first(schemeEnd);
    const qsizetype authorityBegin = schemeEnd + 3;
    qsizetype authorityEnd = url.size();
    for (const char stop : {'/', '?', '#'}) {
        const qsizetype at = url.indexOf(stop, authorityBegin);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    QByteArrayView authority = QByteArrayView(url).sliced(authorityBegin, authorityEnd - authorityBegin);
    const qsizetype at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QByteArrayView userInfo = authority.first(at);
        const qsizetype colon = userInfo.indexOf(':');
        parsed.user = (colon < 0 ? userInfo : userInfo.first(colon)).toByteArray();
        if (colon >= 0)
            parsed.password = userInfo.sliced(colon + 1).toByteArray();
        authority = authority.sliced(at + 1);
    }
    qsizetype colon = authority.indexOf(':');
    if (authority.startsWith('[')) {
        // An IPv6 literal: its colons are its own; the port comes after the bracket.
        const qsizetype close = authority.indexOf(']');
        const std::optional<IpAddress> literal =
            close > 1 ? IpAddress::parse(authority.sliced(1, close - 1)) : std::nullopt;
        if (!literal || literal->family != AF_INET6 || (close + 1 < authority.size() && authority[close + 1] != ':'))
            return Invalid("Address holds an invalid IPv6 address");
        colon = close + 1 < authority.size() ? close + 1 : -1;
    }
    parsed.host = (colon < 0 ? authority : authority.first(colon)).toByteArray();
    if (parsed.host.isEmpty())
        return Invalid("Address without a host name");

    if (colon >= 0) {
        parsed.portText = authority.sliced(colon + 1).toByteArray();
        bool ok = false;
        const uint port = parsed.portText.toUInt(&ok, 10);
        const bool digitsOnly = !parsed.portText.isEmpty() &&
            std::all_of(parsed.portText.begin(), parsed.portText.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!ok || !digitsOnly || port == 0 || port > 65535)
            return Invalid("Port is not a number from 1 to 65535");
        parsed.port = static_cast<quint16>(port);
    } else {
        if (parsed.scheme.compare("http", Qt::CaseInsensitive) == 0)
            parsed.port = 80;
        else if (parsed.isHttps())
            parsed.port = 443;
        else
            parsed.port = 80;  // only a page address gets here with another scheme
        parsed.portText = QByteArray::number(parsed.port);
    }

    parsed.path = DropFragment(QByteArrayView(url).sliced(authorityEnd));
    if (parsed.path.isEmpty() || parsed.path.startsWith('?'))
        parsed.path.prepend('/');
    parsed.path = EncodeTarget(parsed.path);
    return result;
}
