// The links list's search: which rows it shows besides the website filter.
#include "model/LinkList.h"

#include "model/LinkListObserver.h"

#include <array>

namespace {

constexpr LinkRows::Flags VisibleBit = LinkRows::bit(RowVisible);
constexpr LinkRows::Flags OutOfSiteBit = LinkRows::bit(RowOutOfSite);
constexpr LinkRows::Flags UnmatchedBit = LinkRows::bit(RowUnmatched);

// How many rows ahead of its test a row's memory is asked for: enough to cover the wait for main
// memory, few enough to stay in the cache until used.
constexpr std::size_t FetchAhead = 16;

void Prefetch(const void* at, std::size_t bytes)
{
    const char* p = static_cast<const char*>(at);
    for (std::size_t line = 0; line < bytes; line += 64)
        __builtin_prefetch(p + line);
}

}  // namespace

void LinkList::setSearch(QByteArrayView typed, const WebsiteTree& websites)
{
    LinkSearch search(typed, websites);
    // A search that asks for more (a longer word, another word) can only hide rows that match
    // now, and one that asks for less can only bring back rows that do not: at each keystroke most
    // rows need no test at all.
    const bool narrower = search.within(m_search);
    const bool wider = m_search.within(search);
    m_search = std::move(search);
    if (narrower && wider)
        return;

    // The rows on the side that can change. Only they are read: at 100,000 links the memory of the
    // records and their texts is what a keystroke costs, so each is fetched ahead of its test.
    std::vector<Index> tested;
    m_rows.forEachNode([&](Index x, LinkRows::Flags flags) {
        const bool matched = !(flags & UnmatchedBit);
        if (!(narrower && !matched) && !(wider && matched))
            tested.push_back(x);
    });
    std::vector<Index> flips;
    std::array<int, 256> shownWithStatus{};  // what the flips do to the counts
    bool shownChange = false;
    for (std::size_t i = 0; i < tested.size(); ++i) {
        if (i + FetchAhead < tested.size())
            Prefetch(m_rows.value(tested[i + FetchAhead]).get(), sizeof(rMonitorInfo));
        if (i + FetchAhead / 2 < tested.size())
            LinkSearch::prefetch(*m_rows.value(tested[i + FetchAhead / 2]));
        const Index x = tested[i];
        const rMonitorInfo& record = *m_rows.value(x);
        const bool matched = !m_rows.test(x, RowUnmatched);
        if (m_search.matches(record) == matched)
            continue;
        flips.push_back(x);
        if (!m_rows.test(x, RowOutOfSite)) {
            shownChange = true;
            shownWithStatus[record.Status] += matched ? -1 : 1;
        }
    }
    if (flips.empty())
        return;

    Update update(*this);
    // One reset tells the view, however many rows come and go.
    if (shownChange)
        requireReset();
    for (std::size_t status = 0; status < shownWithStatus.size(); ++status)
        m_visibleWithStatus[status] += shownWithStatus[status];
    m_rows.rewriteFlagsOf(flips, [](Index, LinkRows::Flags flags) {
        flags ^= UnmatchedBit;
        if (flags & OutOfSiteBit)
            return flags;
        return static_cast<LinkRows::Flags>(flags & UnmatchedBit ? flags & ~VisibleBit : flags | VisibleBit);
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
