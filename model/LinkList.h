#pragma once

#include "model/LinkColumns.h"
#include "model/LinkRows.h"
#include "model/LinkSearch.h"
#include "model/LinkSorter.h"
#include "model/Records.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class LinkListObserver;
class WebsiteTree;

// The inbound links: one row a link, in display order. Each row owns its record, is visible or
// hidden (the website filter and the search) and selected or not; a hidden row keeps its place
// and selection.
//
// The list keeps itself sorted by its sort column and direction: every change is made inside an
// update bracket, and closing the outermost bracket sorts the rows again. The order is always the
// one a stable sort of the previous order gives, also when only a few rows changed and the list
// merely moves them.
//
// Records change through the list only (setStatus, setVerdict, setDetails, updateFields), so that it knows
// which rows to move and keeps its counts. A record whose row is removed has Attached set to false.
//
// Rows are addressed three ways: by display row (0 to rowCount()-1, hidden rows included), by
// visible row (0 to visibleCount()-1, what a view shows) and by record, the one identity that
// stays across sorts, filters and deletions. A record belongs to one list at a time.
//
// Everything here runs on the user-interface thread.
class LinkList {
public:
    enum class Direction { Ascending, Descending };
    static constexpr char AllItemsCaption[] = "  Inbound Links for all my websites";

    LinkList();
    ~LinkList();
    LinkList(const LinkList&) = delete;
    LinkList& operator=(const LinkList&) = delete;

    void setObserver(LinkListObserver* observer) { m_observer = observer; }

    // Update bracket. Brackets nest; closing the outermost sorts and notifies the view. An outermost
    // bracket opened with Sorting::Paced (a running check's status and verdict) sorts at once only
    // when no sort pacer is set; otherwise its close asks the pacer to run settle() soon, and the
    // rows move then, once for all the changes that came meanwhile. The changes themselves, and the
    // counts, are made at once either way; any other bracket's close sorts what is owed as well.
    enum class Sorting { Now, Paced };
    void BeginUpdate(Sorting sorting = Sorting::Now);
    void EndUpdate();
    void setSortPacer(std::function<void()> schedule) { m_sortPacer = std::move(schedule); }
    // Sorts what paced brackets left owed. Nothing happens inside a bracket: its close sorts.
    void settle();
    bool sortOwed() const { return m_sortOwed; }
    class Update {
    public:
        explicit Update(LinkList& list, Sorting sorting = Sorting::Now) : m_list(list) { m_list.BeginUpdate(sorting); }
        ~Update() { m_list.EndUpdate(); }
        Update(const Update&) = delete;
        Update& operator=(const Update&) = delete;

    private:
        LinkList& m_list;
    };

    // Sizes.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int visibleCount() const { return static_cast<int>(m_rows.count<RowVisible>()); }
    int selectedCount() const { return static_cast<int>(m_rows.count<RowSelected>()); }

    // By display row.
    const rMonitorInfo& record(int row) const;
    LinkRecord recordHandle(int row) const;
    bool isVisible(int row) const;
    bool isSelected(int row) const;
    int rowOfVisible(int visibleRow) const;
    // The record of a visible row, in one step (what a view's data() needs).
    const rMonitorInfo& visibleRecord(int visibleRow) const;
    LinkRecord visibleRecordHandle(int visibleRow) const;
    int visibleIndexOfRow(int row) const;  // -1 when hidden

    // By record; -1 or false when the record has no row here.
    int rowOf(const rMonitorInfo& record) const;
    int visibleIndexOf(const rMonitorInfo& record) const;  // -1 also when hidden
    bool contains(const rMonitorInfo& record) const { return rowOf(record) >= 0; }
    bool isVisible(const rMonitorInfo& record) const { return visibleIndexOf(record) >= 0; }
    bool isSelected(const rMonitorInfo& record) const;

    // Walks in the display order of the moment. After a record whose row is gone they give null.
    LinkRecord firstVisible() const;
    LinkRecord nextVisibleAfter(const rMonitorInfo& record) const;  // also from a hidden row
    LinkRecord firstSelected() const;
    LinkRecord nextSelectedAfter(const rMonitorInfo& record) const;

    // Every row, or the selected ones, in display order.
    std::vector<LinkRecord> records() const;
    std::vector<LinkRecord> selectedRecords(bool visibleOnly) const;
    void forEachRow(const std::function<void(const rMonitorInfo&)>& visit) const;

    // Adding rows: not selected, at the end, visible unless the search leaves them out; the
    // bracket's close sorts them in.
    void append(LinkRecord record);
    void appendMany(std::vector<LinkRecord> records);

    // Changing a row's record. False when the record has no row here (nothing changes then).
    bool setStatus(const rMonitorInfo& record, LinkStatus status);
    // A check's outcome: its verdict, its time, what it found out beside the verdict and what
    // changed since the check before it.
    bool setVerdict(const rMonitorInfo& record, LinkStatus status, double lastCheck,
                    CheckDetails details = CheckDetails(), std::uint16_t changes = 0);
    bool setDetails(const rMonitorInfo& record, CheckDetails details);
    // Copies the stored fields (SiteId, PageUrl, FirstName, LastName, Email, Created, LastCheck)
    // and tests the row against the search again.
    bool updateFields(const rMonitorInfo& record, const rMonitorInfo& values);

    // Removing rows; their records turn Attached = false. Records without a row here are ignored.
    int remove(const std::vector<LinkRecord>& records);
    // The selected rows; with visibleOnly, those the filter hides stay. Returns how many went.
    int DeleteSelected(bool visibleOnly);
    void clear();

    // Selection.
    void setSelected(int row, bool selected);
    void setSelected(const rMonitorInfo& record, bool selected);
    void clearSelection();
    // Adds every visible row; hidden rows keep their state.
    void SelectAll();

    // Website filter. ShowSiteItems shows the rows of that website only (those the search lets
    // through) and gives the caption for the list, or nothing when no website has that Id (the
    // caption then stays as it was).
    std::optional<QByteArray> ShowSiteItems(std::int32_t id, const WebsiteTree& websites);
    QByteArray ShowAllItems();
    // A second criterion beside the website: only rows whose latest check changed something. It
    // takes effect at the next ShowSiteItems or ShowAllItems.
    void setChangedOnly(bool on) { m_changedOnly = on; }
    bool changedOnly() const { return m_changedOnly; }

    // Search: of the rows that the website filter lets through, only those matching the typed text
    // (UTF-8, see LinkSearch) are shown. It holds for the rows added or changed later as well, until
    // the next search; an empty text shows them all. The websites give their names; after a change
    // to them, searching again for the same text brings the rows up to date.
    void setSearch(QByteArrayView typed, const WebsiteTree& websites);
    const LinkSearch& search() const { return m_search; }

    // Sorting. A header click or SortByColumn sets the column and flips the direction, every
    // time; on a list without rows nothing changes.
    int sortColumn() const { return m_sorter.column(); }
    Direction sortDirection() const { return m_sorter.descending() ? Direction::Descending : Direction::Ascending; }
    void VSTItemHeaderClick(int column) { SortByColumn(column); }
    void SortByColumn(int column);
    void ArrangeItem(int entry);
    // The websites whose Names the Website column sorts by (none: that column leaves the order as it
    // is). The tree must outlive the list or be set to null first.
    void setWebsites(const WebsiteTree* websites);
    // A website was added, renamed or removed: a list sorted by Website sorts again.
    void websitesChanged();

    // Status bar: " N inbound link(s)", " N found", " N not found", " N connection error", all
    // counting visible rows.
    int CountVisibleWithStatus(LinkStatus status) const { return m_visibleWithStatus[status]; }
    std::array<QString, 4> StatusBarTexts() const;

private:
    using Index = LinkRows::Index;

    // Rows and their records.
    Index nodeOf(const rMonitorInfo& record) const;
    template <unsigned Counter>
    Index nodeAt(int k) const;
    std::vector<Index> selectedNodes(bool visibleOnly) const;
    Index newNode(LinkRecord record);
    void freeNode(Index x);
    void removeNodes(std::vector<Index> doomed);
    // Tests one row against the search again, showing or hiding it.
    void retest(Index x);
    // Shows the rows for which shows(const rMonitorInfo&) holds and hides the others.
    template <class Shows>
    void filter(Shows shows);

    // Notifications.
    bool announcing() const { return m_observer && !m_resetPending; }
    void requireReset();

    LinkRows m_rows;
    LinkSorter m_sorter{m_rows};
    LinkSearch m_search;
    std::array<int, 256> m_visibleWithStatus{};
    int m_updateDepth = 0;
    bool m_changedOnly = false;
    bool m_resetPending = false;
    bool m_pacedBracket = false;  // the outermost bracket open now is a paced one
    bool m_sortOwed = false;
    std::function<void()> m_sortPacer;
    LinkListObserver* m_observer = nullptr;
};
