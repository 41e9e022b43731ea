#include "model/LinkList.h"

#include "model/LinkListObserver.h"
#include "model/WebsiteTree.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// A few rows are announced one by one; more than this and the view is told to start over, which
// is cheaper than a stream of single-row notifications.
constexpr std::size_t SingleNotificationLimit = 16;

constexpr LinkRows::Flags VisibleBit = LinkRows::bit(RowVisible);
constexpr LinkRows::Flags SelectedBit = LinkRows::bit(RowSelected);
constexpr LinkRows::Flags OutOfSiteBit = LinkRows::bit(RowOutOfSite);
constexpr LinkRows::Flags UnmatchedBit = LinkRows::bit(RowUnmatched);

void detachRecord(LinkRecord& record)
{
    record->Attached = false;
    record->ListSlot = 0;
}

}  // namespace

LinkList::LinkList() = default;

LinkList::~LinkList()
{
    m_rows.forEachValue(detachRecord);
}

// ---- rows and their records ----------------------------------------------------------------

LinkList::Index LinkList::nodeOf(const rMonitorInfo& record) const
{
    const Index x = record.ListSlot;
    return m_rows.holds(x) && m_rows.value(x).get() == &record ? x : 0;
}

LinkList::Index LinkList::newNode(LinkRecord record)
{
    rMonitorInfo& r = *record;
    const bool matched = m_search.matches(r);
    const Index x = m_rows.create(std::move(record), matched ? VisibleBit : UnmatchedBit);
    r.Attached = true;
    r.ListSlot = x;
    if (matched)
        ++m_visibleWithStatus[r.Status];
    return x;
}

void LinkList::freeNode(Index x)
{
    if (m_rows.test(x, RowVisible))
        --m_visibleWithStatus[m_rows.value(x)->Status];
    LinkRecord record = m_rows.release(x);
    detachRecord(record);
}

// ---- reading -------------------------------------------------------------------------------

// Node 0, no node, has a null record and no flags, so the look-ups below need no range checks
// of their own.
template <unsigned Counter>
LinkList::Index LinkList::nodeAt(int k) const
{
    return k < 0 ? 0 : m_rows.nth<Counter>(static_cast<std::uint32_t>(k));
}

const rMonitorInfo& LinkList::record(int row) const
{
    const Index x = nodeAt<AllRows>(row);
    if (!x)
        throw std::out_of_range("LinkList::record");
    return *m_rows.value(x);
}

LinkRecord LinkList::recordHandle(int row) const
{
    return m_rows.value(nodeAt<AllRows>(row));
}

bool LinkList::isVisible(int row) const
{
    return m_rows.test(nodeAt<AllRows>(row), RowVisible);
}

bool LinkList::isSelected(int row) const
{
    return m_rows.test(nodeAt<AllRows>(row), RowSelected);
}

int LinkList::rowOfVisible(int visibleRow) const
{
    const Index x = nodeAt<RowVisible>(visibleRow);
    return x ? static_cast<int>(m_rows.rank<AllRows>(x)) : -1;
}

const rMonitorInfo& LinkList::visibleRecord(int visibleRow) const
{
    const Index x = nodeAt<RowVisible>(visibleRow);
    if (!x)
        throw std::out_of_range("LinkList::visibleRecord");
    return *m_rows.value(x);
}

LinkRecord LinkList::visibleRecordHandle(int visibleRow) const
{
    return m_rows.value(nodeAt<RowVisible>(visibleRow));
}

int LinkList::visibleIndexOfRow(int row) const
{
    const Index x = nodeAt<AllRows>(row);
    return m_rows.test(x, RowVisible) ? static_cast<int>(m_rows.rank<RowVisible>(x)) : -1;
}

int LinkList::rowOf(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return x ? static_cast<int>(m_rows.rank<AllRows>(x)) : -1;
}

int LinkList::visibleIndexOf(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return m_rows.test(x, RowVisible) ? static_cast<int>(m_rows.rank<RowVisible>(x)) : -1;
}

bool LinkList::isSelected(const rMonitorInfo& record) const
{
    return m_rows.test(nodeOf(record), RowSelected);
}

LinkRecord LinkList::firstVisible() const
{
    return m_rows.value(m_rows.nth<RowVisible>(0));
}

LinkRecord LinkList::nextVisibleAfter(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return x ? m_rows.value(m_rows.next<RowVisible>(x)) : LinkRecord();
}

LinkRecord LinkList::firstSelected() const
{
    return m_rows.value(m_rows.nth<RowSelected>(0));
}

LinkRecord LinkList::nextSelectedAfter(const rMonitorInfo& record) const
{
    const Index x = nodeOf(record);
    return x ? m_rows.value(m_rows.next<RowSelected>(x)) : LinkRecord();
}

std::vector<LinkRecord> LinkList::records() const
{
    const std::vector<Index> order = m_rows.inOrder();
    std::vector<LinkRecord> out;
    out.reserve(order.size());
    for (Index x : order)
        out.push_back(m_rows.value(x));
    return out;
}

std::vector<LinkList::Index> LinkList::selectedNodes(bool visibleOnly) const
{
    std::vector<Index> out;
    const std::uint32_t count = m_rows.count<RowSelected>();
    for (std::uint32_t k = 0; k < count; ++k) {
        const Index x = m_rows.nth<RowSelected>(k);
        if (m_rows.test(x, RowVisible) || !visibleOnly)
            out.push_back(x);
    }
    return out;
}

std::vector<LinkRecord> LinkList::selectedRecords(bool visibleOnly) const
{
    std::vector<LinkRecord> out;
    for (Index x : selectedNodes(visibleOnly))
        out.push_back(m_rows.value(x));
    return out;
}

void LinkList::forEachRow(const std::function<void(const rMonitorInfo&)>& visit) const
{
    for (Index x : m_rows.inOrder())
        visit(*m_rows.value(x));
}

// ---- changing ------------------------------------------------------------------------------

void LinkList::append(LinkRecord record)
{
    if (!record || nodeOf(*record))
        return;
    Update update(*this);
    const Index x = newNode(std::move(record));
    const bool announce = announcing() && m_rows.test(x, RowVisible);
    if (announce)
        m_observer->beginInsertRow(visibleCount());
    m_rows.insertAt(m_rows.size(), x);
    if (announce)
        m_observer->endInsertRow();
    m_sorter.keyChanged(x);
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
    std::vector<Index> order = m_rows.inOrder();
    order.reserve(order.size() + records.size());
    m_rows.reserve(m_rows.size() + records.size());
    for (LinkRecord& record : records) {
        if (!record || nodeOf(*record))
            continue;
        const Index x = newNode(std::move(record));
        order.push_back(x);
        m_sorter.keyChanged(x);
    }
    m_rows.assign(order);
}

bool LinkList::setStatus(const rMonitorInfo& record, LinkStatus status)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    rMonitorInfo& r = *m_rows.value(x);
    const bool visible = m_rows.test(x, RowVisible);
    if (visible) {
        --m_visibleWithStatus[r.Status];
        ++m_visibleWithStatus[status];
    }
    r.Status = status;
    if (StatusSortsBy(m_sorter.column()))
        m_sorter.keyChanged(x);
    if (announcing() && visible)
        m_observer->rowChanged(static_cast<int>(m_rows.rank<RowVisible>(x)));
    return true;
}

bool LinkList::setVerdict(const rMonitorInfo& record, LinkStatus status, double lastCheck, CheckDetails details,
                          std::uint16_t changes)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    m_rows.value(x)->LastCheck = lastCheck;
    m_rows.value(x)->Changes = changes;
    if (LastCheckSortsBy(m_sorter.column()))
        m_sorter.keyChanged(x);
    m_rows.value(x)->Details.set(std::move(details));
    if (DetailsSortBy(m_sorter.column()))
        m_sorter.keyChanged(x);
    return setStatus(record, status);
}

bool LinkList::setDetails(const rMonitorInfo& record, CheckDetails details)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    m_rows.value(x)->Details.set(std::move(details));
    if (DetailsSortBy(m_sorter.column()))
        m_sorter.keyChanged(x);
    if (announcing() && m_rows.test(x, RowVisible))
        m_observer->rowChanged(static_cast<int>(m_rows.rank<RowVisible>(x)));
    return true;
}

bool LinkList::updateFields(const rMonitorInfo& record, const rMonitorInfo& values)
{
    const Index x = nodeOf(record);
    if (!x)
        return false;
    Update update(*this);
    const bool wasVisible = m_rows.test(x, RowVisible);
    rMonitorInfo& r = *m_rows.value(x);
    r.SiteId = values.SiteId;
    r.PageUrl = values.PageUrl;
    r.FirstName = values.FirstName;
    r.LastName = values.LastName;
    r.Email = values.Email;
    r.Created = values.Created;
    r.LastCheck = values.LastCheck;
    retest(x);
    if (m_sorter.column() > ColResult)
        m_sorter.keyChanged(x);
    if (announcing() && wasVisible && m_rows.test(x, RowVisible))
        m_observer->rowChanged(static_cast<int>(m_rows.rank<RowVisible>(x)));
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
            byRank.emplace_back(m_rows.rank<AllRows>(x), x);
        std::sort(byRank.rbegin(), byRank.rend());  // from the end, so earlier indices stay valid
        for (const auto& [rank, x] : byRank) {
            const bool visible = m_rows.test(x, RowVisible);
            if (visible)
                m_observer->beginRemoveRow(static_cast<int>(m_rows.rank<RowVisible>(x)));
            m_rows.detach(x);
            freeNode(x);
            if (visible)
                m_observer->endRemoveRow();
        }
        return;
    }

    m_rows.detachAll(doomed);
    for (Index x : doomed)
        freeNode(x);
}

int LinkList::remove(const std::vector<LinkRecord>& records)
{
    std::vector<Index> doomed;
    for (const LinkRecord& record : records) {
        if (const Index x = record ? nodeOf(*record) : 0)
            doomed.push_back(x);
    }
    const int before = rowCount();
    removeNodes(std::move(doomed));
    return before - rowCount();
}

int LinkList::DeleteSelected(bool visibleOnly)
{
    const int before = rowCount();
    removeNodes(selectedNodes(visibleOnly));
    return before - rowCount();
}

void LinkList::clear()
{
    Update update(*this);
    requireReset();
    m_rows.forEachValue(detachRecord);
    m_rows.clear();
    m_sorter.forgetChanges();
    m_visibleWithStatus.fill(0);
}

// ---- selection and filter ------------------------------------------------------------------

void LinkList::setSelected(int row, bool selected)
{
    if (const Index x = nodeAt<AllRows>(row))
        m_rows.set(x, RowSelected, selected);
}

void LinkList::setSelected(const rMonitorInfo& record, bool selected)
{
    if (const Index x = nodeOf(record))
        m_rows.set(x, RowSelected, selected);
}

void LinkList::clearSelection()
{
    if (selectedCount() == 0)
        return;
    m_rows.rewriteFlags([](const LinkRecord&, LinkRows::Flags flags) { return flags & ~SelectedBit; });
    if (m_observer)
        m_observer->selectionChanged();
}

void LinkList::SelectAll()
{
    m_rows.rewriteFlags(
        [](const LinkRecord&, LinkRows::Flags flags) { return flags & VisibleBit ? flags | SelectedBit : flags; });
    if (m_observer)
        m_observer->selectionChanged();
}

template <class Shows>
void LinkList::filter(Shows shows)
{
    Update update(*this);
    requireReset();
    m_rows.rewriteFlags([&](const LinkRecord& record, LinkRows::Flags flags) {
        const bool inSite = shows(*record) && (!m_changedOnly || record->Changes != 0);
        flags = static_cast<LinkRows::Flags>(inSite ? flags & ~OutOfSiteBit : flags | OutOfSiteBit);
        const bool visible = inSite && !(flags & UnmatchedBit);
        if (bool(flags & VisibleBit) == visible)
            return flags;
        m_visibleWithStatus[record->Status] += visible ? 1 : -1;
        return static_cast<LinkRows::Flags>(flags ^ VisibleBit);
    });
}

std::optional<QByteArray> LinkList::ShowSiteItems(std::int32_t id, const WebsiteTree& websites)
{
    filter([id](const rMonitorInfo& record) { return record.SiteId == id; });
    const int site = websites.indexOfId(id);
    if (site < 0)
        return std::nullopt;
    return QByteArrayLiteral("  Inbound Links for ") + websites.children()[static_cast<std::size_t>(site)].Name;
}

QByteArray LinkList::ShowAllItems()
{
    filter([](const rMonitorInfo&) { return true; });
    return QByteArray(AllItemsCaption);
}
