// The links list's search: which rows it shows besides the website filter.
#include "model/LinkList.h"

#include "model/LinkListObserver.h"

namespace {

constexpr LinkRows::Flags VisibleBit = LinkRows::bit(RowVisible);
constexpr LinkRows::Flags OutOfSiteBit = LinkRows::bit(RowOutOfSite);
constexpr LinkRows::Flags UnmatchedBit = LinkRows::bit(RowUnmatched);

}  // namespace

void LinkList::setSearch(QByteArrayView typed, const WebsiteTree& websites)
{
    LinkSearch search(typed, websites);
    // A search that asks for more (a longer word, another word) can only hide rows that match
    // now, and one that asks for less can only bring back rows that do not: at each keystroke most
    // rows need no test at all.
    const bool narrower = search.within(m_search);
    const bool wider = m_search.within(search);
    std::vector<Index> flips;
    bool shownChange = false;
    if (!(narrower && wider)) {
        m_rows.forEachValue([&](const LinkRecord& record) {
            const Index x = record->ListSlot;
            const bool matched = !m_rows.test(x, RowUnmatched);
            if ((narrower && !matched) || (wider && matched) || search.matches(*record) == matched)
                return;
            flips.push_back(x);
            shownChange = shownChange || !m_rows.test(x, RowOutOfSite);
        });
    }
    m_search = std::move(search);
    if (flips.empty())
        return;

    Update update(*this);
    // One reset tells the view, however many rows come and go.
    if (shownChange)
        requireReset();
    std::vector<bool> flip;
    for (Index x : flips) {
        if (x >= flip.size())
            flip.resize(x + 1);
        flip[x] = true;
    }
    m_rows.rewriteFlags([&](const LinkRecord& record, LinkRows::Flags flags) {
        const Index x = record->ListSlot;
        if (x >= flip.size() || !flip[x])
            return flags;
        flags ^= UnmatchedBit;
        if (flags & OutOfSiteBit)
            return flags;
        const bool visible = !(flags & UnmatchedBit);
        m_visibleWithStatus[record->Status] += visible ? 1 : -1;
        return static_cast<LinkRows::Flags>(visible ? flags | VisibleBit : flags & ~VisibleBit);
    });
}

void LinkList::retest(Index x)
{
    const bool matched = m_search.matches(*m_rows.value(x));
    if (matched != m_rows.test(x, RowUnmatched))
        return;
    m_rows.set(x, RowUnmatched, !matched);
    if (m_rows.test(x, RowOutOfSite))
        return;
    const bool announce = announcing();
    const int at = static_cast<int>(m_rows.rank<RowVisible>(x));
    if (announce) {
        if (matched)
            m_observer->beginInsertRow(at);
        else
            m_observer->beginRemoveRow(at);
    }
    m_rows.set(x, RowVisible, matched);
    m_visibleWithStatus[m_rows.value(x)->Status] += matched ? 1 : -1;
    if (announce) {
        if (matched)
            m_observer->endInsertRow();
        else
            m_observer->endRemoveRow();
    }
}
