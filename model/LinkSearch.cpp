#include "model/LinkSearch.h"

#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <QList>

#include <algorithm>
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
    const char first = upper[0];
    const char firstLower = first >= 'A' && first <= 'Z' ? static_cast<char>(first + ('a' - 'A')) : first;
    const char* p = text.data();
    const char* const last = p + (text.size() - n);
    for (; p <= last; ++p) {
        if (*p != first && *p != firstLower)
            continue;
        qsizetype i = 1;
        while (i < n && UpperAscii(p[i]) == upper[i])
            ++i;
        if (i == n)
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

bool LinkSearch::within(const LinkSearch& wider) const
{
    return std::all_of(wider.m_words.begin(), wider.m_words.end(), [this](const Word& w) {
        return std::any_of(m_words.begin(), m_words.end(), [&w](const Word& mine) { return mine.implies(w); });
    });
}
