#include "app/LinkSelectionModel.h"

#include "app/LinkListModel.h"
#include "model/LinkList.h"

LinkSelectionModel::LinkSelectionModel(LinkListModel* model) : QItemSelectionModel(model), m_links(model)
{
    connect(
        this, &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection& selected, const QItemSelection& deselected) { forward(selected, deselected); });
}

void LinkSelectionModel::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command)
{
    if (command & Clear)
        clearList();
    QItemSelectionModel::select(selection, command);
}

void LinkSelectionModel::clearList()
{
    if (m_fromList || m_links->changing())
        return;
    m_toList = true;
    m_links->list().clearSelection();
    m_toList = false;
}

void LinkSelectionModel::forward(const QItemSelection& selected, const QItemSelection& deselected)
{
    // While the list changes its rows, the view's selection follows the rows on its own; the list
    // is mirrored afterwards.
    if (m_fromList || m_links->changing())
        return;
    LinkList& list = m_links->list();
    m_toList = true;
    for (const auto& [changes, state] : {std::pair{&deselected, false}, std::pair{&selected, true}}) {
        for (const QItemSelectionRange& range : *changes) {
            for (int visible = range.top(); visible <= range.bottom(); ++visible) {
                if (visible < list.visibleCount())
                    list.setSelected(list.rowOfVisible(visible), state);
            }
        }
    }
    m_toList = false;
}

void LinkSelectionModel::syncFromList()
{
    if (m_toList)
        return;
    const LinkList& list = m_links->list();
    QItemSelection mirror;
    if (list.selectedCount() > 0) {
        const int lastColumn = m_links->columnCount() - 1;
        int first = -1;
        int last = -1;
        auto flush = [&] {
            if (first >= 0)
                mirror.append(QItemSelectionRange(m_links->index(first, 0), m_links->index(last, lastColumn)));
        };
        for (const LinkRecord& record : list.selectedRecords(true)) {
            const int visible = list.visibleIndexOf(*record);
            if (first >= 0 && visible == last + 1) {
                last = visible;
            } else {
                flush();
                first = last = visible;
            }
        }
        flush();
    }
    if (mirror.isEmpty() && !hasSelection())
        return;
    m_fromList = true;
    QItemSelectionModel::select(mirror, ClearAndSelect);
    m_fromList = false;
}
