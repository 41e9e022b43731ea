#pragma once

#include "model/LinkColumns.h"
#include "model/LinkRows.h"

#include <cstddef>
#include <vector>

class LinkListObserver;
class WebsiteTree;

// Keeps the rows of a links list in the order of a sort column, stably: rows whose keys are equal
// keep the order they had. It either sorts every row again or moves only the rows whose keys
// changed to their new places; the two give the same order.
class LinkSorter {
public:
    using Index = LinkRows::Index;

    explicit LinkSorter(LinkRows& rows) : m_rows(rows) {}

    // `column` is one of the list's columns (LinkColumns.h); any other number, NoColumn included,
    // leaves the rows as they are.
    int column() const { return m_column; }
    bool descending() const { return m_descending; }
    // A new order: the next sort() sorts every row.
    void setOrder(int column, bool descending);
    // The websites whose Names the Website column sorts by; without them that column leaves the
    // rows as they are. The tree must outlive the sorter or be set to null first.
    void setWebsites(const WebsiteTree* websites);
    // The websites' Names may have changed: when they are the order, the next sort() sorts every row.
    void websitesChanged();

    // The key of a row in the sequence may have changed: the next sort() puts it in its place.
    void keyChanged(Index x);
    // The rows noted as changed are gone (the list was cleared).
    void forgetChanges() { m_changed.clear(); }

    // Puts the rows in order. With an observer, a sort of every row is announced as a layout
    // change, one visible row that moves as a move, and several rows as a layout change when a
    // visible one is among them.
    void sort(LinkListObserver* observer);

private:
    // What a row sorts by: a number first, then a text compared folded.
    struct RowKey {
        std::uint64_t number = 0;
        QByteArrayView text;
    };
    RowKey keyOf(const rMonitorInfo& r) const;

    void sortAll();
    void sortChanged(const std::vector<Index>& changed, LinkListObserver* observer);
    bool before(const rMonitorInfo& a, const rMonitorInfo& b) const;
    int compare(const rMonitorInfo& a, const rMonitorInfo& b) const;
    std::uint32_t countBefore(const rMonitorInfo& key, bool orEqual) const;
    // The place of a website's Name among all Names, equal Names sharing one; see rankNames().
    std::uint32_t siteRank(std::int32_t siteId) const;
    void rankNames();

    LinkRows& m_rows;
    std::vector<Index> m_changed;  // noted since the last sort; RowDirty keeps a row from being noted twice
    const WebsiteTree* m_websites = nullptr;
    // Website Id and the rank of its Name, by Id; kept while the order is the Website column.
    std::vector<std::pair<std::int32_t, std::uint32_t>> m_siteRanks;
    int m_column = NoColumn;
    bool m_descending = false;
    bool m_sortAllPending = false;
};
