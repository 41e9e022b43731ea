#include "model/LinkList.h"

#include "model/LinkListObserver.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <algorithm>
#include <stdexcept>

namespace {

// A few rows are announced one by one; more than this and the view is told to start over, which
// is cheaper than a stream of single-row notifications.
constexpr std::size_t SingleNotificationLimit = 16;

}  // namespace

LinkList::LinkList()
{
    m_nodes.emplace_back();
}

LinkList::~LinkList()
{
    for (Node& node : m_nodes) {
        if (node.record) {
            node.record->Attached = false;
            node.record->ListSlot = 0;
        }
    }
}

// ---- the tree ------------------------------------------------------------------------------
//
// A randomized binary search tree over positions (merges pick their root with probability in
// proportion to size, which keeps any shape of it balanced in expectation). Every node knows its
// parent and the number of rows, visible rows and selected rows below it, so positions, visible
// indices and selected indices all come in logarithmic time.

LinkList::Index LinkList::newNode(LinkRecord record)
{
    Index x;
    if (!m_free.empty()) {
        x = m_free.back();
        m_free.pop_back();
    } else {
        x = static_cast<Index>(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node& node = m_nodes[x];
    node.record = std::move(record);
    node.record->Attached = true;
    node.record->ListSlot = x;
    node.visible = true;
    node.selected = false;
    node.dirty = false;
    node.left = node.right = node.parent = 0;
    pull(x);
    ++m_visibleWithStatus[node.record->Status];
    return x;
}

void LinkList::freeNode(Index x)
{
    Node& node = m_nodes[x];
    if (node.visible)
        --m_visibleWithStatus[node.record->Status];
    node.record->Attached = false;
    node.record->ListSlot = 0;
    node = Node{};
    m_free.push_back(x);
}

void LinkList::pull(Index x)
{
    Node& n = m_nodes[x];
    const Node& l = m_nodes[n.left];
    const Node& r = m_nodes[n.right];
    n.size = 1 + l.size + r.size;
    n.visibleCount = (n.visible ? 1 : 0) + l.visibleCount + r.visibleCount;
    n.selectedCount = (n.selected ? 1 : 0) + l.selectedCount + r.selectedCount;
    if (n.left)
        m_nodes[n.left].parent = x;
    if (n.right)
        m_nodes[n.right].parent = x;
}

void LinkList::split(Index t, std::uint32_t k, Index& a, Index& b)
{
    if (!t) {
        a = b = 0;
        return;
    }
    Node& n = m_nodes[t];
    const std::uint32_t leftSize = m_nodes[n.left].size;
    if (k <= leftSize) {
        split(n.left, k, a, n.left);
        b = t;
    } else {
        split(n.right, k - leftSize - 1, n.right, b);
        a = t;
    }
    pull(t);
}

LinkList::Index LinkList::merge(Index a, Index b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    const std::uint64_t sa = m_nodes[a].size;
    const std::uint64_t sb = m_nodes[b].size;
    if (random() % (sa + sb) < sa) {
        m_nodes[a].right = merge(m_nodes[a].right, b);
        pull(a);
        return a;
    }
    m_nodes[b].left = merge(a, m_nodes[b].left);
    pull(b);
    return b;
}

LinkList::Index LinkList::build(const std::vector<Index>& order, std::size_t lo, std::size_t hi)
{
    if (lo >= hi)
        return 0;
    const std::size_t mid = lo + (hi - lo) / 2;
    const Index x = order[mid];
    m_nodes[x].left = build(order, lo, mid);
    m_nodes[x].right = build(order, mid + 1, hi);
    pull(x);
    return x;
}

void LinkList::rebuild(const std::vector<Index>& order)
{
    m_root = build(order, 0, order.size());
    if (m_root)
        m_nodes[m_root].parent = 0;
}

void LinkList::recomputeCounts()
{
    if (!m_root)
        return;
    std::vector<Index> levels;
    levels.reserve(m_nodes[m_root].size);
    levels.push_back(m_root);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const Node& n = m_nodes[levels[i]];
        if (n.left)
            levels.push_back(n.left);
        if (n.right)
            levels.push_back(n.right);
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        pull(*it);
}

void LinkList::inOrder(std::vector<Index>& out) const
{
    out.clear();
    out.reserve(m_nodes[m_root].size);
    std::vector<Index> stack;
    Index t = m_root;
    while (t || !stack.empty()) {
        while (t) {
            stack.push_back(t);
            t = m_nodes[t].left;
        }
        t = stack.back();
        stack.pop_back();
        out.push_back(t);
        t = m_nodes[t].right;
    }
}

void LinkList::insertAt(std::uint32_t position, Index x)
{
    Index a = 0;
    Index b = 0;
    split(m_root, position, a, b);
    m_root = merge(merge(a, x), b);
    m_nodes[m_root].parent = 0;
}

void LinkList::detach(Index x)
{
    Node& n = m_nodes[x];
    const Index joined = merge(n.left, n.right);
    const Index p = n.parent;
    if (x == m_root) {
        m_root = joined;
        if (joined)
            m_nodes[joined].parent = 0;
    } else {
        Node& parent = m_nodes[p];
        (parent.left == x ? parent.left : parent.right) = joined;
        if (joined)
            m_nodes[joined].parent = p;
        refreshPath(p);
    }
    Node& again = m_nodes[x];
    again.left = again.right = again.parent = 0;
    pull(x);
}

void LinkList::refreshPath(Index x)
{
    while (x) {
        pull(x);
        x = x == m_root ? 0 : m_nodes[x].parent;
    }
}

std::uint32_t LinkList::rankOf(Index x) const
{
    std::uint32_t r = m_nodes[m_nodes[x].left].size;
    while (x != m_root) {
        const Index p = m_nodes[x].parent;
        if (m_nodes[p].right == x)
            r += m_nodes[m_nodes[p].left].size + 1;
        x = p;
    }
    return r;
}

std::uint32_t LinkList::visibleRankOf(Index x) const
{
    std::uint32_t r = m_nodes[m_nodes[x].left].visibleCount;
    while (x != m_root) {
        const Index p = m_nodes[x].parent;
        if (m_nodes[p].right == x)
            r += m_nodes[m_nodes[p].left].visibleCount + (m_nodes[p].visible ? 1 : 0);
        x = p;
    }
    return r;
}

std::uint32_t LinkList::selectedRankOf(Index x) const
{
    std::uint32_t r = m_nodes[m_nodes[x].left].selectedCount;
    while (x != m_root) {
        const Index p = m_nodes[x].parent;
        if (m_nodes[p].right == x)
            r += m_nodes[m_nodes[p].left].selectedCount + (m_nodes[p].selected ? 1 : 0);
        x = p;
    }
    return r;
}

LinkList::Index LinkList::nodeAt(std::uint32_t k) const
{
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t leftSize = m_nodes[n.left].size;
        if (k < leftSize) {
            t = n.left;
        } else if (k == leftSize) {
            return t;
        } else {
            k -= leftSize + 1;
            t = n.right;
        }
    }
    return 0;
}

LinkList::Index LinkList::visibleNodeAt(std::uint32_t k) const
{
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t leftCount = m_nodes[n.left].visibleCount;
        if (k < leftCount) {
            t = n.left;
        } else if (n.visible && k == leftCount) {
            return t;
        } else {
            k -= leftCount + (n.visible ? 1 : 0);
            t = n.right;
        }
    }
    return 0;
}

LinkList::Index LinkList::selectedNodeAt(std::uint32_t k) const
{
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t leftCount = m_nodes[n.left].selectedCount;
        if (k < leftCount) {
            t = n.left;
        } else if (n.selected && k == leftCount) {
            return t;
        } else {
            k -= leftCount + (n.selected ? 1 : 0);
            t = n.right;
        }
    }
    return 0;
}

std::uint32_t LinkList::visibleBefore(std::uint32_t position) const
{
    std::uint32_t count = 0;
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t leftSize = m_nodes[n.left].size;
        if (position <= leftSize) {
            t = n.left;
        } else {
            count += m_nodes[n.left].visibleCount + (n.visible ? 1 : 0);
            position -= leftSize + 1;
            t = n.right;
        }
    }
    return count;
}

LinkList::Index LinkList::nodeOf(const rMonitorInfo& record) const
{
    const Index x = record.ListSlot;
    if (x == 0 || x >= m_nodes.size() || m_nodes[x].record.get() != &record)
        return 0;
    return x;
}

std::uint64_t LinkList::random()
{
    m_random ^= m_random >> 12;
    m_random ^= m_random << 25;
    m_random ^= m_random >> 27;
    return m_random * 0x2545F4914F6CDD1Dull;
}

// ---- sorting -------------------------------------------------------------------------------

bool LinkList::before(const rMonitorInfo& a, const rMonitorInfo& b) const
{
    const int c = VSTItemCompareNodes(a, b, m_sortColumn);
    return m_direction == Direction::Ascending ? c < 0 : c > 0;
}

std::uint32_t LinkList::countBefore(const rMonitorInfo& key, bool orEqual) const
{
    std::uint32_t count = 0;
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const bool goesFirst = orEqual ? !before(key, *n.record) : before(*n.record, key);
        if (goesFirst) {
            count += m_nodes[n.left].size + 1;
            t = n.right;
        } else {
            t = n.left;
        }
    }
    return count;
}

void LinkList::markDirty(Index x)
{
    Node& n = m_nodes[x];
    if (!n.dirty) {
        n.dirty = true;
        m_dirty.push_back(x);
    }
}

namespace {

// One row as a full sort sees it: the leading part of its key packed into two words that compare
// like the key, and the text for the rare ties between them.
struct SortItem {
    std::uint64_t high;
    std::uint64_t low;
    const QByteArray* text;
    std::uint32_t node;
};

// The bytes of `text` from `from` on, folded, big-endian, zero-padded. Words that differ order
// their texts as CompareFolded does: a zero pad meets either a real zero byte (a tie, settled by
// the full comparison) or a longer text, which sorts later anyway.
void packFolded(const QByteArray& text, qsizetype from, std::uint64_t& high, std::uint64_t& low)
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
    const QByteArray& first = *items.front().text;
    qsizetype common = first.size();
    for (const SortItem& item : items) {
        const QByteArray& t = *item.text;
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

}  // namespace

void LinkList::sortAll()
{
    std::vector<Index> order;
    inOrder(order);
    std::vector<SortItem> items;
    items.reserve(order.size());
    for (Index x : order) {
        const rMonitorInfo& r = *m_nodes[x].record;
        SortItem item{0, 0, SortText(r, m_sortColumn), x};
        if (m_sortColumn == ColResult)
            item.high = r.Status;
        else if (m_sortColumn == ColCreated || m_sortColumn == ColLastCheck)
            item.high =
                static_cast<std::uint64_t>(MillisecondKey(m_sortColumn == ColCreated ? r.Created : r.LastCheck)) ^
                (std::uint64_t(1) << 63);  // signed order as unsigned
        items.push_back(item);
    }
    if (items.front().text) {
        const qsizetype common = commonFoldedPrefix(items);
        for (SortItem& item : items)
            packFolded(*item.text, common, item.high, item.low);
    }
    auto compare = [](const SortItem& a, const SortItem& b) {
        if (a.high != b.high)
            return a.high < b.high ? -1 : 1;
        if (a.low != b.low)
            return a.low < b.low ? -1 : 1;
        return a.text ? CompareFolded(*a.text, *b.text) : 0;
    };
    if (m_direction == Direction::Ascending)
        std::stable_sort(items.begin(), items.end(),
                         [&](const SortItem& a, const SortItem& b) { return compare(a, b) < 0; });
    else
        std::stable_sort(items.begin(), items.end(),
                         [&](const SortItem& a, const SortItem& b) { return compare(a, b) > 0; });
    for (std::size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].node;
    rebuild(order);
}

// Moves the changed rows to where a stable sort of the current order would put them. The other
// rows are still in order, so each changed row goes among the rows of an equal key by where it
// stood before: after those that stood before it, ahead of those that stood after it.
void LinkList::sortDirty(std::vector<Index>& dirty)
{
    struct Item {
        Index x;
        std::uint32_t oldRank;
        std::uint32_t byRank;  // place among the changed rows in the old order
        std::uint32_t position;
    };
    std::vector<Item> items;
    items.reserve(dirty.size());
    for (Index x : dirty)
        items.push_back({x, rankOf(x), 0, 0});
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.oldRank < b.oldRank; });
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i].byRank = static_cast<std::uint32_t>(i);

    const bool single = items.size() == 1;
    const Index only = items.front().x;
    const bool announceMove = single && announcing() && m_nodes[only].visible;
    const std::uint32_t oldVisible = announceMove ? visibleRankOf(only) : 0;
    bool announceLayout = false;
    if (!single && announcing()) {
        announceLayout =
            std::any_of(items.begin(), items.end(), [this](const Item& i) { return m_nodes[i.x].visible; });
        if (announceLayout)
            m_observer->beginLayoutChange();
    }

    for (const Item& item : items)
        detach(item.x);
    std::stable_sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
        return before(*m_nodes[a.x].record, *m_nodes[b.x].record);
    });
    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        const rMonitorInfo& key = *m_nodes[item.x].record;
        const std::uint32_t stoodAfter = item.oldRank - item.byRank;  // unchanged rows that stood before it
        const std::uint32_t lo = countBefore(key, false);
        const std::uint32_t hi = countBefore(key, true);
        item.position = std::clamp(stoodAfter, lo, hi) + static_cast<std::uint32_t>(i);
    }

    if (announceMove) {
        const std::uint32_t newVisible = visibleBefore(items.front().position);
        if (newVisible != oldVisible) {
            // The view may look at the list while it hears of the move, so the row goes back to
            // its old place until then.
            insertAt(items.front().oldRank, only);
            m_observer->beginMoveRow(static_cast<int>(oldVisible), static_cast<int>(newVisible));
            detach(only);
            insertAt(items.front().position, only);
            m_observer->endMoveRow();
            return;
        }
    }
    for (const Item& item : items)
        insertAt(item.position, item.x);
    if (announceLayout)
        m_observer->endLayoutChange();
}

void LinkList::finishUpdate()
{
    std::vector<Index> dirty;
    dirty.reserve(m_dirty.size());
    for (Index x : m_dirty) {
        Node& n = m_nodes[x];
        if (n.dirty && n.record) {
            n.dirty = false;
            dirty.push_back(x);
        }
    }
    m_dirty.clear();

    const bool sorting = m_sortColumn >= 0 && m_sortColumn < LinkColumnCount && m_nodes[m_root].size > 1;
    if (sorting && (m_sortAllPending || dirty.size() * 64 > m_nodes[m_root].size)) {
        const bool announce = announcing();
        if (announce)
            m_observer->beginLayoutChange();
        sortAll();
        if (announce)
            m_observer->endLayoutChange();
    } else if (sorting && !dirty.empty()) {
        sortDirty(dirty);
    }
    m_sortAllPending = false;

    if (m_resetPending) {
        m_resetPending = false;
        if (m_observer)
            m_observer->endReset();
    }
}

void LinkList::BeginUpdate()
{
    ++m_updateDepth;
}

void LinkList::EndUpdate()
{
    if (m_updateDepth == 0)
        return;
    if (--m_updateDepth == 0)
        finishUpdate();
}

void LinkList::requireReset()
{
    if (!m_resetPending && m_observer)
        m_observer->beginReset();
    m_resetPending = true;
}

void LinkList::setVisibleCounted(Node& node, bool visible)
{
    if (node.visible == visible)
        return;
    node.visible = visible;
    if (visible)
        ++m_visibleWithStatus[node.record->Status];
    else
        --m_visibleWithStatus[node.record->Status];
}

// ---- reading -------------------------------------------------------------------------------

int LinkList::rowCount() const
{
    return static_cast<int>(m_nodes[m_root].size);
}

int LinkList::visibleCount() const
{
    return static_cast<int>(m_nodes[m_root].visibleCount);
}

int LinkList::selectedCount() const
{
    return static_cast<int>(m_nodes[m_root].selectedCount);
}

const rMonitorInfo& LinkList::record(int row) const
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("LinkList::record");
    return *m_nodes[nodeAt(static_cast<std::uint32_t>(row))].record;
}

LinkRecord LinkList::recordHandle(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_nodes[nodeAt(static_cast<std::uint32_t>(row))].record;
}

bool LinkList::isVisible(int row) const
{
    return row >= 0 && row < rowCount() && m_nodes[nodeAt(static_cast<std::uint32_t>(row))].visible;
}

bool LinkList::isSelected(int row) const
{
    return row >= 0 && row < rowCount() && m_nodes[nodeAt(static_cast<std::uint32_t>(row))].selected;
}

int LinkList::rowOfVisible(int visibleRow) const
{
    if (visibleRow < 0 || visibleRow >= visibleCount())
        return -1;
    return static_cast<int>(rankOf(visibleNodeAt(static_cast<std::uint32_t>(visibleRow))));
}

const rMonitorInfo& LinkList::visibleRecord(int visibleRow) const
{
    if (visibleRow < 0 || visibleRow >= visibleCount())
        throw std::out_of_range("LinkList::visibleRecord");
    return *m_nodes[visibleNodeAt(static_cast<std::uint32_t>(visibleRow))].record;
}

LinkRecord LinkList::visibleRecordHandle(int visibleRow) const
{
    if (visibleRow < 0 || visibleRow >= visibleCount())
        return {};
    return m_nodes[visibleNodeAt(static_cast<std::uint32_t>(visibleRow))].record;
}

int LinkList::visibleIndexOfRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    const Index x = nodeAt(static_cast<std::uint32_t>(row));
    return m_nodes[x].visible ? static_cast<int>(visibleRankOf(x)) : -1;
}

int LinkList::rowOf(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return x ? static_cast<int>(rankOf(x)) : -1;
}

int LinkList::visibleIndexOf(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return (x && m_nodes[x].visible) ? static_cast<int>(visibleRankOf(x)) : -1;
}

bool LinkList::isSelected(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return x && m_nodes[x].selected;
}

LinkRecord LinkList::firstVisible() const
{
    return visibleCount() > 0 ? m_nodes[visibleNodeAt(0)].record : LinkRecord();
}

LinkRecord LinkList::nextVisibleAfter(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    if (!x)
        return {};
    const std::uint32_t next = visibleRankOf(x) + (m_nodes[x].visible ? 1 : 0);
    return next < m_nodes[m_root].visibleCount ? m_nodes[visibleNodeAt(next)].record : LinkRecord();
}

LinkRecord LinkList::firstSelected() const
{
    return selectedCount() > 0 ? m_nodes[selectedNodeAt(0)].record : LinkRecord();
}

LinkRecord LinkList::nextSelectedAfter(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    if (!x)
        return {};
    const std::uint32_t next = selectedRankOf(x) + (m_nodes[x].selected ? 1 : 0);
    return next < m_nodes[m_root].selectedCount ? m_nodes[selectedNodeAt(next)].record : LinkRecord();
}

std::vector<LinkRecord> LinkList::records() const
{
    std::vector<Index> order;
    inOrder(order);
    std::vector<LinkRecord> out;
    out.reserve(order.size());
    for (Index x : order)
        out.push_back(m_nodes[x].record);
    return out;
}

std::vector<LinkRecord> LinkList::selectedRecords(bool visibleOnly) const
{
    std::vector<LinkRecord> out;
    const std::uint32_t count = m_nodes[m_root].selectedCount;
    for (std::uint32_t k = 0; k < count; ++k) {
        const Node& n = m_nodes[selectedNodeAt(k)];
        if (n.visible || !visibleOnly)
            out.push_back(n.record);
    }
    return out;
}

void LinkList::forEachRow(const std::function<void(const rMonitorInfo&)>& visit) const
{
    std::vector<Index> order;
    inOrder(order);
    for (Index x : order)
        visit(*m_nodes[x].record);
}

// ---- changing ------------------------------------------------------------------------------

void LinkList::append(LinkRecord record)
{
    if (!record || nodeOf(*record))
        return;
    Update update(*this);
    const Index x = newNode(std::move(record));
    if (announcing()) {
        m_observer->beginInsertRow(visibleCount());
        insertAt(m_nodes[m_root].size, x);
        m_observer->endInsertRow();
    } else {
        insertAt(m_nodes[m_root].size, x);
    }
    markDirty(x);
}

void LinkList::appendMany(std::vector<LinkRecord> records)
{
    if (records.size() <= SingleNotificationLimit) {
        Update update(*this);
        for (LinkRecord& record : records)
            append(std::move(record));
        return;
    }
    Update update(*this);
    requireReset();
    std::vector<Index> order;
    inOrder(order);
    order.reserve(order.size() + records.size());
    m_nodes.reserve(m_nodes.size() + records.size());
    for (LinkRecord& record : records) {
        if (!record || nodeOf(*record))
            continue;
        const Index x = newNode(std::move(record));
        order.push_back(x);
        markDirty(x);
    }
    rebuild(order);
}

bool LinkList::setStatus(const rMonitorInfo& record, LinkStatus status)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    Node& n = m_nodes[x];
    if (n.visible) {
        --m_visibleWithStatus[n.record->Status];
        ++m_visibleWithStatus[status];
    }
    n.record->Status = status;
    if (StatusSortsBy(m_sortColumn))
        markDirty(x);
    if (announcing() && m_nodes[x].visible)
        m_observer->rowChanged(static_cast<int>(visibleRankOf(x)));
    return true;
}

bool LinkList::setVerdict(const rMonitorInfo& record, LinkStatus status, double lastCheck)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    m_nodes[x].record->LastCheck = lastCheck;
    if (LastCheckSortsBy(m_sortColumn))
        markDirty(x);
    return setStatus(record, status);
}

bool LinkList::updateFields(const rMonitorInfo& record, const rMonitorInfo& values)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    rMonitorInfo& r = *m_nodes[x].record;
    r.SiteId = values.SiteId;
    r.PageUrl = values.PageUrl;
    r.FirstName = values.FirstName;
    r.LastName = values.LastName;
    r.Email = values.Email;
    r.Created = values.Created;
    r.LastCheck = values.LastCheck;
    if (m_sortColumn > ColResult)
        markDirty(x);
    if (announcing() && m_nodes[x].visible)
        m_observer->rowChanged(static_cast<int>(visibleRankOf(x)));
    return true;
}

void LinkList::removeNodes(std::vector<Index> doomed)
{
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    if (doomed.empty())
        return;
    Update update(*this);
    if (doomed.size() > SingleNotificationLimit)
        requireReset();

    if (announcing()) {
        std::vector<std::pair<std::uint32_t, Index>> byRank;
        for (Index x : doomed)
            byRank.emplace_back(rankOf(x), x);
        std::sort(byRank.rbegin(), byRank.rend());  // from the end, so earlier indices stay valid
        for (const auto& [rank, x] : byRank) {
            const bool visible = m_nodes[x].visible;
            if (visible)
                m_observer->beginRemoveRow(static_cast<int>(visibleRankOf(x)));
            detach(x);
            freeNode(x);
            if (visible)
                m_observer->endRemoveRow();
        }
        return;
    }

    if (doomed.size() * 8 < m_nodes[m_root].size) {
        for (Index x : doomed) {
            detach(x);
            freeNode(x);
        }
        return;
    }
    std::vector<Index> order;
    inOrder(order);
    for (Index x : doomed)
        freeNode(x);
    order.erase(std::remove_if(order.begin(), order.end(), [this](Index x) { return !m_nodes[x].record; }),
                order.end());
    rebuild(order);
}

int LinkList::remove(const std::vector<LinkRecord>& records)
{
    std::vector<Index> doomed;
    for (const LinkRecord& record : records) {
        if (record) {
            if (const Index x = nodeOf(*record))
                doomed.push_back(x);
        }
    }
    const int before = rowCount();
    removeNodes(std::move(doomed));
    return before - rowCount();
}

int LinkList::DeleteSelected(bool visibleOnly)
{
    std::vector<Index> doomed;
    const std::uint32_t count = m_nodes[m_root].selectedCount;
    for (std::uint32_t k = 0; k < count; ++k) {
        const Index x = selectedNodeAt(k);
        if (m_nodes[x].visible || !visibleOnly)
            doomed.push_back(x);
    }
    const int before = rowCount();
    removeNodes(std::move(doomed));
    return before - rowCount();
}

void LinkList::clear()
{
    Update update(*this);
    requireReset();
    for (Node& node : m_nodes) {
        if (node.record) {
            node.record->Attached = false;
            node.record->ListSlot = 0;
        }
    }
    m_nodes.clear();
    m_nodes.emplace_back();
    m_nodes.shrink_to_fit();
    m_free.clear();
    m_dirty.clear();
    m_root = 0;
    m_visibleWithStatus.fill(0);
}

void LinkList::setSelected(int row, bool selected)
{
    if (row < 0 || row >= rowCount())
        return;
    const Index x = nodeAt(static_cast<std::uint32_t>(row));
    if (m_nodes[x].selected == selected)
        return;
    m_nodes[x].selected = selected;
    refreshPath(x);
}

void LinkList::setSelected(const rMonitorInfo& record, bool selected)
{
    const int row = rowOf(record);
    if (row >= 0)
        setSelected(row, selected);
}

void LinkList::clearSelection()
{
    if (selectedCount() == 0)
        return;
    for (Node& node : m_nodes)
        node.selected = false;
    recomputeCounts();
    if (m_observer)
        m_observer->selectionChanged();
}

void LinkList::SelectAll()
{
    for (Node& node : m_nodes) {
        if (node.record && node.visible)
            node.selected = true;
    }
    recomputeCounts();
    if (m_observer)
        m_observer->selectionChanged();
}

std::optional<QByteArray> LinkList::ShowSiteItems(std::int32_t id, const WebsiteTree& websites)
{
    {
        Update update(*this);
        requireReset();
        for (Node& node : m_nodes) {
            if (node.record)
                setVisibleCounted(node, node.record->SiteId == id);
        }
        recomputeCounts();
    }
    const int site = websites.indexOfId(id);
    if (site < 0)
        return std::nullopt;
    return QByteArrayLiteral("  Inbound Links for ") + websites.children()[static_cast<std::size_t>(site)].Name;
}

QByteArray LinkList::ShowAllItems()
{
    {
        Update update(*this);
        requireReset();
        for (Node& node : m_nodes) {
            if (node.record)
                setVisibleCounted(node, true);
        }
        recomputeCounts();
    }
    return QByteArray(AllItemsCaption);
}

void LinkList::VSTItemHeaderClick(int column)
{
    SortByColumn(column);
}

void LinkList::SortByColumn(int column)
{
    if (rowCount() == 0)
        return;
    Update update(*this);
    m_sortColumn = column;
    m_direction = m_direction == Direction::Ascending ? Direction::Descending : Direction::Ascending;
    m_sortAllPending = true;
    if (m_observer)
        m_observer->sortChanged();
}

void LinkList::ArrangeItem(int entry)
{
    if (entry >= 0 && entry < ArrangeEntryCount)
        SortByColumn(ArrangeEntryColumn(entry));
}

int LinkList::CountVisibleWithStatus(LinkStatus status) const
{
    return m_visibleWithStatus[status];
}

std::array<QString, 4> LinkList::StatusBarTexts() const
{
    return {
        QStringLiteral(" %1 inbound link(s)").arg(visibleCount()),
        QStringLiteral(" %1 found").arg(CountVisibleWithStatus(lsFound)),
        QStringLiteral(" %1 not found").arg(CountVisibleWithStatus(lsNotFound)),
        QStringLiteral(" %1 connection error").arg(CountVisibleWithStatus(lsConnectionError)),
    };
}
