#include "check/PageMatch.h"

#include <algorithm>
#include <array>
#include <functional>

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

struct UpperHash {
    std::size_t operator()(char c) const { return Upper(c); }
};

struct UpperEqual {
    bool operator()(char a, char b) const { return Upper(a) == Upper(b); }
};

}  // namespace

qsizetype FindAddress(QByteArrayView page, QByteArrayView siteUrl)
{
    if (siteUrl.isEmpty() || page.size() < siteUrl.size())
        return -1;
    // Folding while searching is the same test as searching an upper-cased copy, without a second
    // page in memory.
    const std::boyer_moore_horspool_searcher searcher(siteUrl.begin(), siteUrl.end(), UpperHash(), UpperEqual());
    const auto found = std::search(page.begin(), page.end(), searcher);
    return found == page.end() ? -1 : found - page.begin();
}

bool MatchPage(QByteArrayView page, QByteArrayView siteUrl)
{
    return FindAddress(page, siteUrl) >= 0;
}
