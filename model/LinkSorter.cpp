#include "model/LinkSorter.h"

#include "model/LinkColumns.h"
#include "model/LinkListObserver.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <algorithm>
#include <utility>

namespace {

// Past one changed row in this many, every row is sorted again instead of the changed ones being
// moved. A moved row costs a detach, two binary searches and an insert, each a walk down the tree
// that compares full keys; a full sort compares packed keys in a flat array. At 100,000 rows
// sorted by Url, Result or Last check, moving one row in 64 takes a sixth to a third of the time
// of a full sort, and the two break even near one row in 16: the limit leaves a margin of about
// four, so that rows are moved only where that clearly wins.
constexpr std::size_t RowsPerMovedRow = 64;

// One row as a full sort sees it: the leading part of its key packed into two words that compare
// like the key, and the text for the rare ties between them.
struct SortItem {
    std::uint64_t high;
    std::uint64_t low;
    const char* text;
    std::uint32_t size;
    std::uint32_t node;

    QByteArrayView view() const { return QByteArrayView(text, size); }
};

// The bytes of `text` from `from` on, folded, big-endian, zero-padded: the first eight in `high`
// and the next eight in `low`. Words that differ order their texts as CompareFolded does: a zero
// pad meets either a real zero byte (a tie, settled by the full comparison) or a longer text, which
// sorts later anyway.
void packFolded(QByteArrayView text, qsizetype from, std::uint64_t& high, std::uint64_t& low)
{
    unsigned char bytes[16] = {};
    const qsizetype n = std::min<qsizetype>(16, std::max<qsizetype>(0, text.size() - from));
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(UpperAscii(text[from + i]));
    high = low = 0;
    for (int i = 0; i < 8; ++i) {
        high = (high << 8) | bytes[i];
        low = (low << 8) | bytes[8 + i];
    }
}

// The folded prefix all texts share; the packed words start after it.
qsizetype commonFoldedPrefix(const std::vector<SortItem>& items)
{
    if (items.empty())
        return 0;
    const QByteArrayView first = items.front().view();
    qsizetype common = first.size();
    for (const SortItem& item : items) {
        const QByteArrayView t = item.view();
        qsizetype i = 0;
        const qsizetype n = std::min(common, t.size());
        while (i < n && UpperAscii(t[i]) == UpperAscii(first[i]))
            ++i;
        common = i;
        if (common == 0)
            break;
    }
    return common;
}

// Columns whose key is a text alone; the others lead with a number.
bool TextOnly(int column)
{
    return column == ColUrl || column == ColFirstName || column == ColLastName || column == ColEmail ||
        column == ColAnchorText;
}

}  // namespace

void LinkSorter::setOrder(int column, bool descending)
{
    m_column = column;
    m_descending = descending;
    m_sortAllPending = true;
    m_siteRanks.clear();
    if (m_column == ColWebsite)
        rankNames();
}

void LinkSorter::setWebsites(const WebsiteTree* websites)
{
    m_websites = websites;
    websitesChanged();
}

void LinkSorter::websitesChanged()
{
    if (m_column != ColWebsite)
        return;
    rankNames();
    m_sortAllPending = true;
}

void LinkSorter::rankNames()
{
    m_siteRanks.clear();
    if (!m_websites)
        return;
    std::vector<std::int32_t> ids;
    for (const rMySiteInfo& site : m_websites->children())
        ids.push_back(site.Id);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    const auto less = [](const QByteArray& a, const QByteArray& b) { return CompareFolded(a, b) < 0; };
    // A link whose website is gone sorts as one of a website without a Name, first.
    std::vector<QByteArray> names{QByteArray()};
    for (const std::int32_t id : ids)
        names.push_back(m_websites->WebsiteNameById(id));
    std::vector<QByteArray> distinct = names;
    std::sort(distinct.begin(), distinct.end(), less);
    distinct.erase(std::unique(distinct.begin(), distinct.end(),
                               [](const QByteArray& a, const QByteArray& b) { return CompareFolded(a, b) == 0; }),
                   distinct.end());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto at = std::lower_bound(distinct.begin(), distinct.end(), names[i + 1], less);
        m_siteRanks.emplace_back(ids[i], static_cast<std::uint32_t>(at - distinct.begin()));
    }
}

std::uint32_t LinkSorter::siteRank(std::int32_t siteId) const
{
    const auto at = std::lower_bound(m_siteRanks.begin(), m_siteRanks.end(), siteId,
                                     [](const auto& entry, std::int32_t id) { return entry.first < id; });
    return at != m_siteRanks.end() && at->first == siteId ? at->second : 0;
}

LinkSorter::RowKey LinkSorter::keyOf(const rMonitorInfo& r) const
{
    switch (m_column) {
    case ColResult: return {r.Status, {}};
    case ColCreated:
    case ColLastCheck:
        // Signed order as unsigned.
        return {static_cast<std::uint64_t>(MillisecondKey(m_column == ColCreated ? r.Created : r.LastCheck)) ^
                    (std::uint64_t(1) << 63),
                {}};
    case ColWebsite: return {siteRank(r.SiteId), {}};
    case ColChange: return {r.Changes, {}};
    case ColLink:
    case ColHttp:
    case ColAnchorText: {
        const DetailsSortKey key = DetailsKey(r.Details.get(), m_column);
        return {key.number, key.text};
    }
    default:
        if (const QByteArray* text = SortText(r, m_column))
            return {0, *text};
        return {};
    }
}

void LinkSorter::keyChanged(Index x)
{
    if (!m_rows.test(x, RowDirty)) {
        m_rows.set(x, RowDirty, true);
        m_changed.push_back(x);
    }
}

void LinkSorter::sort(LinkListObserver* observer)
{
    std::vector<Index> changed;
    changed.reserve(m_changed.size());
    for (Index x : m_changed) {
        if (m_rows.holds(x) && m_rows.test(x, RowDirty)) {
            m_rows.set(x, RowDirty, false);
            changed.push_back(x);
        }
    }
    m_changed.clear();
    const bool sortAllPending = std::exchange(m_sortAllPending, false);

    const std::uint32_t rows = m_rows.size();
    if (m_column < 0 || m_column >= LinkColumnCount || rows < 2)
        return;
    if (sortAllPending || changed.size() * RowsPerMovedRow > rows) {
        if (observer)
            observer->beginLayoutChange();
        sortAll();
        if (observer)
            observer->endLayoutChange();
    } else if (!changed.empty()) {
        sortChanged(changed, observer);
    }
}

// As VSTItemCompareNodes orders the rows, through the keys the full sort uses.
int LinkSorter::compare(const rMonitorInfo& a, const rMonitorInfo& b) const
{
    const RowKey ka = keyOf(a);
    const RowKey kb = keyOf(b);
    if (ka.number != kb.number)
        return ka.number < kb.number ? -1 : 1;
    return CompareFolded(ka.text, kb.text);
}

bool LinkSorter::before(const rMonitorInfo& a, const rMonitorInfo& b) const
{
    const int c = compare(a, b);
    return m_descending ? c > 0 : c < 0;
}

// Rows that sort before `key`, or before or with it.
std::uint32_t LinkSorter::countBefore(const rMonitorInfo& key, bool orEqual) const
{
    if (orEqual)
        return m_rows.partitionPoint([&](const LinkRecord& row) { return !before(key, *row); });
    return m_rows.partitionPoint([&](const LinkRecord& row) { return before(*row, key); });
}

void LinkSorter::sortAll()
{
    std::vector<Index> order = m_rows.inOrder();
    if (order.size() < 2)
        return;
    std::vector<SortItem> items;
    items.reserve(order.size());
    for (Index x : order) {
        const RowKey key = keyOf(*m_rows.value(x));
        items.push_back({key.number, 0, key.text.data(), static_cast<std::uint32_t>(key.text.size()), x});
    }
    const bool textOnly = TextOnly(m_column);
    const bool withText = textOnly || m_column == ColHttp;
    if (textOnly) {
        const qsizetype common = commonFoldedPrefix(items);
        for (SortItem& item : items)
            packFolded(item.view(), common, item.high, item.low);
    } else if (withText) {
        // The number leads; the text's first bytes follow in the second word.
        std::uint64_t rest = 0;
        for (SortItem& item : items)
            packFolded(item.view(), 0, item.low, rest);
    }
    auto compare = [withText](const SortItem& a, const SortItem& b) {
        if (a.high != b.high)
            return a.high < b.high ? -1 : 1;
        if (a.low != b.low)
            return a.low < b.low ? -1 : 1;
        return withText ? CompareFolded(a.view(), b.view()) : 0;
    };
    if (m_descending)
        std::stable_sort(items.begin(), items.end(),
                         [&](const SortItem& a, const SortItem& b) { return compare(a, b) > 0; });
    else
        std::stable_sort(items.begin(), items.end(),
                         [&](const SortItem& a, const SortItem& b) { return compare(a, b) < 0; });
    for (std::size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].node;
    m_rows.assign(order);
}

// The other rows are still in order, so each changed row goes among the rows of an equal key by
// where it stood before: after those that stood before it, ahead of those that stood after it.
void LinkSorter::sortChanged(const std::vector<Index>& changed, LinkListObserver* observer)
{
    if (changed.empty())
        return;
    struct Item {
        Index x;
        std::uint32_t oldRank;
        std::uint32_t byRank;  // place among the changed rows in the old order
        std::uint32_t position;
    };
    std::vector<Item> items;
    items.reserve(changed.size());
    for (Index x : changed)
        items.push_back({x, m_rows.rank<AllRows>(x), 0, 0});
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.oldRank < b.oldRank; });
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i].byRank = static_cast<std::uint32_t>(i);

    const bool single = items.size() == 1;
    const Index only = items.front().x;
    const bool announceMove = single && observer && m_rows.test(only, RowVisible);
    const std::uint32_t oldVisible = announceMove ? m_rows.rank<RowVisible>(only) : 0;
    bool announceLayout = false;
    if (!single && observer) {
        announceLayout =
            std::any_of(items.begin(), items.end(), [this](const Item& i) { return m_rows.test(i.x, RowVisible); });
        if (announceLayout)
            observer->beginLayoutChange();
    }

    for (const Item& item : items)
        m_rows.detach(item.x);
    std::stable_sort(items.begin(), items.end(),
                     [this](const Item& a, const Item& b) { return before(*m_rows.value(a.x), *m_rows.value(b.x)); });
    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        const rMonitorInfo& key = *m_rows.value(item.x);
        const std::uint32_t stoodAfter = item.oldRank - item.byRank;  // unchanged rows that stood before it
        const std::uint32_t lo = countBefore(key, false);
        const std::uint32_t hi = countBefore(key, true);
        item.position = std::clamp(stoodAfter, lo, hi) + static_cast<std::uint32_t>(i);
    }

    if (announceMove) {
        const std::uint32_t newVisible = m_rows.countBefore<RowVisible>(items.front().position);
        if (newVisible != oldVisible) {
            // The view may look at the list while it hears of the move, so the row goes back to
            // its old place until then.
            m_rows.insertAt(items.front().oldRank, only);
            observer->beginMoveRow(static_cast<int>(oldVisible), static_cast<int>(newVisible));
            m_rows.detach(only);
            m_rows.insertAt(items.front().position, only);
            observer->endMoveRow();
            return;
        }
    }
    for (const Item& item : items)
        m_rows.insertAt(item.position, item.x);
    if (announceLayout)
        observer->endLayoutChange();
}
