#include "check/WebUrl.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

bool IsSlash(char c)
{
    return c == '/' || c == '\\';
}

bool IsAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsControlOrHigh(unsigned char c)
{
    return c < 0x20 || c > 0x7e;
}

// The percent-encode sets of the URL standard that matter for http and https.
bool InPathSet(unsigned char c)
{
    return IsControlOrHigh(c) || c == ' ' || c == '"' || c == '#' || c == '<' || c == '>' || c == '?' || c == '`' ||
        c == '{' || c == '}';
}

bool InQuerySet(unsigned char c)
{
    return IsControlOrHigh(c) || c == ' ' || c == '"' || c == '#' || c == '<' || c == '>' || c == '\'';
}

bool InFragmentSet(unsigned char c)
{
    return IsControlOrHigh(c) || c == ' ' || c == '"' || c == '<' || c == '>' || c == '`';
}

template <typename InSet>
QByteArray PercentEncode(QByteArrayView text, InSet inSet)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (inSet(byte)) {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// Leading and trailing C0 controls and blanks go; tabs and line breaks anywhere go.
QByteArray Clean(QByteArrayView input)
{
    qsizetype from = 0;
    qsizetype to = input.size();
    while (from < to && static_cast<unsigned char>(input[from]) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(input[to - 1]) <= 0x20)
        --to;
    QByteArray out;
    out.reserve(to - from);
    for (qsizetype i = from; i < to; ++i) {
        const char c = input[i];
        if (c != '\t' && c != '\n' && c != '\r')
            out += c;
    }
    return out;
}

bool IsSingleDot(QByteArrayView segment)
{
    return segment == "." || segment.compare("%2e", Qt::CaseInsensitive) == 0;
}

bool IsDoubleDot(QByteArrayView segment)
{
    return segment == ".." || segment.compare(".%2e", Qt::CaseInsensitive) == 0 ||
        segment.compare("%2e.", Qt::CaseInsensitive) == 0 || segment.compare("%2e%2e", Qt::CaseInsensitive) == 0;
}

bool IsForbiddenHostByte(unsigned char c)
{
    return c <= 0x20 || c == 0x7f || c == '#' || c == '%' || c == '/' || c == ':' || c == '<' || c == '>' || c == '?' ||
        c == '@' || c == '[' || c == '\\' || c == ']' || c == '^' || c == '|';
}

QByteArray PercentDecode(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

QByteArray Ipv6Host(QByteArrayView text)
{
    if (text.size() < 3 || !text.endsWith(']'))
        return {};
    for (const char c : text.sliced(1, text.size() - 2)) {
        if (HexValue(c) < 0 && c != ':' && c != '.')
            return {};
    }
    return text.toByteArray().toLower();
}

// The port's digits, or -1 for the default; -2 when the text is no port.
int ParsePort(QByteArrayView digits, QByteArrayView scheme)
{
    if (digits.isEmpty())
        return -1;
    int port = 0;
    for (const char c : digits) {
        if (!IsDigit(c))
            return -2;
        port = port * 10 + (c - '0');
        if (port > 65535)
            return -2;
    }
    const int standard = scheme == "https" ? 443 : 80;
    return port == standard ? -1 : port;
}

// Path, query and fragment of `rest`, which starts at the path (or is empty).
void ReadPathQueryFragment(QByteArrayView rest, WebUrl& url)
{
    const qsizetype hash = rest.indexOf('#');
    if (hash >= 0) {
        url.hasFragment = true;
        url.fragment = PercentEncode(rest.sliced(hash + 1), InFragmentSet);
        rest = rest.first(hash);
    }
    const qsizetype question = rest.indexOf('?');
    if (question >= 0) {
        url.hasQuery = true;
        url.query = PercentEncode(rest.sliced(question + 1), InQuerySet);
        rest = rest.first(question);
    }
    url.path = WebPath(rest);
}

std::optional<WebUrl> ReadAuthority(QByteArrayView text, WebUrl url)
{
    qsizetype end = 0;
    while (end < text.size() && !IsSlash(text[end]) && text[end] != '?' && text[end] != '#')
        ++end;
    QByteArrayView hostPort = text.first(end);
    const qsizetype at = hostPort.lastIndexOf('@');
    url.hasUserinfo = at >= 0;
    url.userinfo = at >= 0 ? PercentEncode(hostPort.first(at), InPathSet) : QByteArray();
    if (at >= 0)
        hostPort = hostPort.sliced(at + 1);

    QByteArrayView hostText = hostPort;
    QByteArrayView portText;
    if (hostPort.startsWith('[')) {
        const qsizetype close = hostPort.indexOf(']');
        if (close < 0)
            return std::nullopt;
        hostText = hostPort.first(close + 1);
        const QByteArrayView after = hostPort.sliced(close + 1);
        if (!after.isEmpty() && !after.startsWith(':'))
            return std::nullopt;
        portText = after.isEmpty() ? after : after.sliced(1);
    } else if (const qsizetype colon = hostPort.indexOf(':'); colon >= 0) {
        hostText = hostPort.first(colon);
        portText = hostPort.sliced(colon + 1);
    }
    url.host = WebHost(hostText);
    url.port = ParsePort(portText, url.scheme);
    if (url.host.isEmpty() || url.port == -2)
        return std::nullopt;
    url.hasQuery = url.hasFragment = false;
    url.query.clear();
    url.fragment.clear();
    ReadPathQueryFragment(text.sliced(end), url);
    return url;
}

// A reference without a scheme of its own (or with the base's), resolved against the base.
std::optional<WebUrl> ReadRelative(QByteArrayView rest, const WebUrl& base)
{
    WebUrl url = base;
    url.hasFragment = false;
    url.fragment.clear();
    if (rest.size() >= 2 && IsSlash(rest[0]) && IsSlash(rest[1])) {
        while (!rest.isEmpty() && IsSlash(rest.front()))
            rest = rest.sliced(1);
        return ReadAuthority(rest, url);
    }
    if (rest.isEmpty())
        return url;
    if (rest.front() == '#') {
        url.hasFragment = true;
        url.fragment = PercentEncode(rest.sliced(1), InFragmentSet);
        return url;
    }
    url.hasQuery = false;
    url.query.clear();
    if (rest.front() == '?') {
        const QByteArray path = url.path;
        ReadPathQueryFragment(rest, url);
        url.path = path;
        return url;
    }
    if (IsSlash(rest.front())) {
        ReadPathQueryFragment(rest, url);
        return url;
    }
    // A relative path continues the base's directory.
    const QByteArray directory = base.path.first(base.path.lastIndexOf('/') + 1);
    ReadPathQueryFragment(directory + rest.toByteArray(), url);
    return url;
}

}  // namespace

QByteArray WebHost(QByteArrayView text)
{
    if (text.startsWith('['))
        return Ipv6Host(text);
    const QByteArray decoded = PercentDecode(text);
    bool ascii = true;
    for (const char c : decoded)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    QByteArray host;
    if (ascii) {
        host = decoded.toLower();
    } else {
        QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString name = toUtf16(decoded);
        if (toUtf16.hasError())
            return {};
        host = QUrl::toAce(name);
    }
    for (const char c : host) {
        if (IsForbiddenHostByte(static_cast<unsigned char>(c)))
            return {};
    }
    return host;
}

QByteArray WebPath(QByteArrayView path)
{
    QByteArray unified = path.toByteArray();
    unified.replace('\\', '/');
    QList<QByteArrayView> kept;
    const QByteArrayView all(unified);
    // The path starts with "/", or is relative text that a base directory has been put before.
    qsizetype start = all.startsWith('/') ? 1 : 0;
    while (true) {
        qsizetype end = all.indexOf('/', start);
        const bool last = end < 0;
        if (last)
            end = all.size();
        const QByteArrayView segment = all.sliced(start, end - start);
        if (IsDoubleDot(segment)) {
            if (!kept.isEmpty())
                kept.removeLast();
            if (last)
                kept.append(QByteArrayView());
        } else if (IsSingleDot(segment)) {
            if (last)
                kept.append(QByteArrayView());
        } else {
            kept.append(segment);
        }
        if (last)
            break;
        start = end + 1;
    }
    QByteArray out;
    out.reserve(unified.size() + 1);
    for (const QByteArrayView segment : kept) {
        out += '/';
        out += PercentEncode(segment, InPathSet);
    }
    return out.isEmpty() ? QByteArray("/") : out;
}

std::optional<WebUrl> WebUrl::parse(QByteArrayView input, const WebUrl* base)
{
    const QByteArray cleaned = Clean(input);
    const QByteArrayView text(cleaned);
    qsizetype schemeEnd = 0;
    if (!text.isEmpty() && IsAsciiAlpha(text.front())) {
        schemeEnd = 1;
        while (schemeEnd < text.size() &&
               (IsAsciiAlpha(text[schemeEnd]) || IsDigit(text[schemeEnd]) || text[schemeEnd] == '+' ||
                text[schemeEnd] == '-' || text[schemeEnd] == '.'))
            ++schemeEnd;
        if (schemeEnd == text.size() || text[schemeEnd] != ':')
            schemeEnd = 0;
    }
    if (schemeEnd == 0)
        return base ? ReadRelative(text, *base) : std::nullopt;

    const QByteArray scheme = text.first(schemeEnd).toByteArray().toLower();
    if (scheme != "http" && scheme != "https")
        return std::nullopt;
    QByteArrayView rest = text.sliced(schemeEnd + 1);
    // "http:page.html" on an http page is relative to it, as in a browser.
    if (base && base->scheme == scheme && !(rest.size() >= 2 && IsSlash(rest[0]) && IsSlash(rest[1])))
        return ReadRelative(rest, *base);
    while (!rest.isEmpty() && IsSlash(rest.front()))
        rest = rest.sliced(1);
    WebUrl url;
    url.scheme = scheme;
    return ReadAuthority(rest, url);
}

QByteArray WebUrl::withoutFragment() const
{
    QByteArray out = scheme + "://";
    if (hasUserinfo)
        out += userinfo + '@';
    out += host;
    if (port >= 0)
        out += ':' + QByteArray::number(port);
    out += path.isEmpty() ? QByteArray("/") : path;
    if (hasQuery)
        out += '?' + query;
    return out;
}

QByteArray WebUrl::toEncoded() const
{
    return hasFragment ? withoutFragment() + '#' + fragment : withoutFragment();
}
