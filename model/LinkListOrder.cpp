// The links list's order: the update brackets that keep it sorted, the sort column and the status
// bar's counts.
#include "model/LinkList.h"

#include "model/LinkListObserver.h"

#include <utility>

// ---- update brackets ---------------------------------------------------------------------

void LinkList::BeginUpdate(Sorting sorting)
{
    if (m_updateDepth++ == 0)
        m_pacedBracket = sorting == Sorting::Paced;
}

void LinkList::EndUpdate()
{
    if (m_updateDepth == 0)
        return;
    if (--m_updateDepth != 0)
        return;
    if (m_pacedBracket && m_sortPacer && !m_resetPending) {
        if (!std::exchange(m_sortOwed, true))
            m_sortPacer();
        return;
    }
    m_sortOwed = false;
    m_sorter.sort(announcing() ? m_observer : nullptr);
    if (m_resetPending) {
        m_resetPending = false;
        if (m_observer)
            m_observer->endReset();
    }
}

void LinkList::settle()
{
    if (!m_sortOwed || m_updateDepth != 0)
        return;
    m_sortOwed = false;
    m_sorter.sort(announcing() ? m_observer : nullptr);
}

void LinkList::requireReset()
{
    if (!m_resetPending && m_observer)
        m_observer->beginReset();
    m_resetPending = true;
}

// ---- sort order and status bar -------------------------------------------------------------

void LinkList::SortByColumn(int column)
{
    if (rowCount() == 0)
        return;
    Update update(*this);
    m_sorter.setOrder(column, !m_sorter.descending());
    if (m_observer)
        m_observer->sortChanged();
}

void LinkList::setWebsites(const WebsiteTree* websites)
{
    Update update(*this);
    m_sorter.setWebsites(websites);
}

void LinkList::websitesChanged()
{
    Update update(*this);
    m_sorter.websitesChanged();
}

void LinkList::ArrangeItem(int entry)
{
    if (entry >= 0 && entry < ArrangeEntryCount)
        SortByColumn(ArrangeEntryColumn(entry));
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
