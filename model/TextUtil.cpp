#include "model/TextUtil.h"

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

QByteArray UpperAscii(QByteArrayView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        dst[i] = UpperAscii(text[i]);
    return out;
}

static bool isControlOrBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArray TrimControl(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isControlOrBlank(text[begin]))
        ++begin;
    while (end > begin && isControlOrBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

bool SameName(QByteArrayView a, QByteArrayView b)
{
    return UpperAscii(TrimControl(a)) == UpperAscii(TrimControl(b));
}

int CompareFolded(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int ca = static_cast<unsigned char>(UpperAscii(a[i]));
        const int cb = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return static_cast<int>(a.size() - b.size());
}

QByteArray CompletePageUrl(QByteArrayView typed)
{
    // Pages of either scheme are fetched; prefixing an https address would make it unreachable.
    const QByteArray folded = UpperAscii(typed);
    if (folded.contains("HTTP://") || folded.contains("HTTPS://"))
        return typed.toByteArray();
    QByteArray url;
    url.reserve(typed.size() + 7);
    url.append("http://");
    url.append(typed);
    return url;
}
