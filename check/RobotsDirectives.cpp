#include "check/RobotsDirectives.h"

namespace {

bool Is(QByteArrayView token, QByteArrayView name)
{
    return token.compare(name, Qt::CaseInsensitive) == 0;
}

// Directives that carry a value after a colon, which must not be read as a crawler's name.
bool TakesValue(QByteArrayView name)
{
    for (const char* known : {"unavailable_after", "max-snippet", "max-image-preview", "max-video-preview"}) {
        if (Is(name, known))
            return true;
    }
    return false;
}

bool IsCrawlerName(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.';
        if (!word)
            return false;
    }
    return true;
}

template <typename Each>
void ForEachItem(QByteArrayView list, Each each)
{
    qsizetype start = 0;
    while (start <= list.size()) {
        qsizetype end = list.indexOf(',', start);
        if (end < 0)
            end = list.size();
        each(list.sliced(start, end - start).trimmed());
        start = end + 1;
    }
}

}  // namespace

void RobotsDirectives::addMeta(QByteArrayView content)
{
    ForEachItem(content, [this](QByteArrayView directive) {
        noindex = noindex || Is(directive, "noindex") || Is(directive, "none");
        nofollow = nofollow || Is(directive, "nofollow") || Is(directive, "none");
    });
}

void RobotsDirectives::addHeader(QByteArrayView value)
{
    bool counts = true;
    ForEachItem(value, [&](QByteArrayView item) {
        if (const qsizetype colon = item.indexOf(':'); colon >= 0) {
            const QByteArrayView name = item.first(colon).trimmed();
            if (!TakesValue(name) && IsCrawlerName(name)) {
                counts = Is(name, "googlebot");
                item = item.sliced(colon + 1).trimmed();
            }
        }
        if (counts)
            addMeta(item);
    });
}
