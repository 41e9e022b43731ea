#include "check/PageMatch.h"

#include <array>

namespace {

constexpr std::array<unsigned char, 256> AsciiUpper = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}();

unsigned char Upper(char c)
{
    return AsciiUpper[static_cast<unsigned char>(c)];
}

}  // namespace

qsizetype FindAddress(QByteArrayView page, QByteArrayView siteUrl)
{
    const qsizetype length = siteUrl.size();
    if (length == 0 || page.size() < length)
        return -1;
    // Horspool's search on folded bytes: the same test as searching an upper-cased copy, without a
    // second page in memory, and with a table cheap enough to build for every short text it meets.
    std::array<qsizetype, 256> shift;
    shift.fill(length);
    for (qsizetype i = 0; i < length - 1; ++i)
        shift[Upper(siteUrl[i])] = length - 1 - i;
    const unsigned char last = Upper(siteUrl[length - 1]);
    for (qsizetype at = 0; at <= page.size() - length;) {
        const unsigned char end = Upper(page[at + length - 1]);
        if (end == last) {
            qsizetype i = length - 2;
            while (i >= 0 && Upper(page[at + i]) == Upper(siteUrl[i]))
                --i;
            if (i < 0)
                return at;
        }
        at += shift[end];
    }
    return -1;
}

bool MatchPage(QByteArrayView page, QByteArrayView siteUrl)
{
    return FindAddress(page, siteUrl) >= 0;
}
