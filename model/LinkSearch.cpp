#include "model/LinkSearch.h"

#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <QList>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

bool HasNonAscii(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

bool ContainsFolded(QByteArrayView text, QByteArrayView upper)
{
    const qsizetype n = upper.size();
    if (n == 0)
        return true;
    if (text.size() < n)
        return false;
    // A byte with 0x20 set equals a lower-case letter only when it is that letter in either case,
    // so one OR and one compare find the first byte of the word, eight bytes at a time.
    const auto first = static_cast<unsigned char>(upper[0]);
    const bool letter = first >= 'A' && first <= 'Z';
    const std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t fold = letter ? 0x20 * ones : 0;
    const std::uint64_t wanted = (letter ? first | 0x20u : first) * ones;
    const char* const begin = text.data();
    const qsizetype starts = text.size() - n + 1;  // the positions where the word fits

    auto matchesAt = [&](qsizetype at) {
        for (qsizetype i = 0; i < n; ++i) {
            if (UpperAscii(begin[at + i]) != upper[i])
                return false;
        }
        return true;
    };
    qsizetype at = 0;
    for (; at + 8 <= text.size() && at < starts; at += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, begin + at, sizeof chunk);
        const std::uint64_t diff = (chunk | fold) ^ wanted;
        // A zero byte in diff marks a candidate. The test may flag a byte after a true zero as
        // well, so each candidate is checked whole.
        std::uint64_t zeros = (diff - ones) & ~diff & (0x80 * ones);
        if constexpr (std::endian::native == std::endian::big)
            zeros = __builtin_bswap64(zeros);
        while (zeros) {
            const qsizetype candidate = at + std::countr_zero(zeros) / 8;
            if (candidate < starts && matchesAt(candidate))
                return true;
            zeros &= zeros - 1;
        }
    }
    for (; at < starts; ++at) {
        const auto c = static_cast<unsigned char>(begin[at]);
        if ((letter ? (c | 0x20u) : c) == (wanted & 0xff) && matchesAt(at))
            return true;
    }
    return false;
}

bool LinkSearch::Word::foundIn(QByteArrayView field) const
{
    if (!unicode())
        return ContainsFolded(field, upper);
    // Every letter of ASCII folds to ASCII, and this word holds a letter that does not: a field of
    // ASCII alone cannot hold it, and most fields are spared the decoding.
    return HasNonAscii(field) && QString::fromUtf8(field).contains(folded, Qt::CaseInsensitive);
}

bool LinkSearch::Word::implies(const Word& other) const
{
    if (unicode() != other.unicode())
        return false;
    const bool holdsOther = unicode() ? folded.contains(other.folded) : upper.contains(other.upper);
    return holdsOther && std::includes(other.siteIds.begin(), other.siteIds.end(), siteIds.begin(), siteIds.end());
}

LinkSearch::LinkSearch(QByteArrayView typed, const WebsiteTree& websites) : m_typed(typed.toByteArray())
{
    // A website's name is that of the last website with its Id, as everywhere a name is looked up.
    std::map<std::int32_t, QByteArrayView> names;
    for (const rMySiteInfo& site : websites.children())
        names[site.Id] = site.Name;

    qsizetype at = 0;
    while (at < typed.size()) {
        while (at < typed.size() && IsBlank(typed[at]))
            ++at;
        const qsizetype begin = at;
        while (at < typed.size() && !IsBlank(typed[at]))
            ++at;
        if (at == begin)
            break;

        Word word;
        QList<uint> folded = QString::fromUtf8(typed.sliced(begin, at - begin)).toUcs4();
        for (uint& c : folded)
            c = QChar::toCaseFolded(static_cast<char32_t>(c));
        if (std::all_of(folded.begin(), folded.end(), [](uint c) { return c < 0x80; })) {
            word.upper.reserve(folded.size());
            for (uint c : folded)
                word.upper.append(UpperAscii(static_cast<char>(c)));
        } else {
            word.folded = QString::fromUcs4(reinterpret_cast<const char32_t*>(folded.constData()), folded.size());
        }
        for (const auto& [id, name] : names) {
            if (word.foundIn(name))
                word.siteIds.push_back(id);
        }
        m_words.push_back(std::move(word));
    }
}

bool LinkSearch::matches(const rMonitorInfo& link) const
{
    for (const Word& word : m_words) {
        const bool found = std::binary_search(word.siteIds.begin(), word.siteIds.end(), link.SiteId) ||
            word.foundIn(link.PageUrl) || word.foundIn(link.FirstName) || word.foundIn(link.LastName) ||
            word.foundIn(link.Email);
        if (!found)
            return false;
    }
    return true;
}

void LinkSearch::prefetch(const rMonitorInfo& link)
{
    for (const QByteArray* field : {&link.PageUrl, &link.FirstName, &link.LastName, &link.Email})
        __builtin_prefetch(field->constData());
}

bool LinkSearch::within(const LinkSearch& wider) const
{
    return std::all_of(wider.m_words.begin(), wider.m_words.end(), [this](const Word& w) {
        return std::any_of(m_words.begin(), m_words.end(), [&w](const Word& mine) { return mine.implies(w); });
    });
}
