#pragma once

#include "app/SidePanel.h"
#include "model/Records.h"

#include <cstdint>

class QTreeView;
class WebsiteTreeModel;

// The websites side: " my websites", its tool bar and the websites tree VSTExplorer. The focused
// node is the current website; there is no other record of it.
class WebsitesPane : public SidePanel {
    Q_OBJECT

public:
    explicit WebsitesPane(QWidget* parent = nullptr);

    QTreeView* VSTExplorer() const { return m_view; }
    WebsiteTreeModel& model() const { return *m_model; }

    // The focused node's record, or nullptr when no node is focused.
    const rMySiteInfo* focusedSite() const;
    // The Id of the focused node; 0 when none is focused, as for the root.
    std::int32_t focusedId() const;
    // Index among the root's children of the focused website; -1 for the root or no node.
    int focusedRow() const;

    // Selects and focuses each website under the root with this Id, in tree order, so the last one
    // ends focused. The root is not considered; with no match nothing changes.
    void SelectWebsiteById(std::int32_t id);
    void focusRoot();

Q_SIGNALS:
    // The focused node changed; id is 0 for the root and for no node at all.
    void focusChanged(std::int32_t id);
    void contextMenuWanted(const QPoint& globalPos);
    void nodeDoubleClicked();

private:
    void onCurrentChanged(const QModelIndex& current);
    void onContextMenu(const QPoint& pos);
    void onModelReset();

    WebsiteTreeModel* m_model;
    QTreeView* m_view;
};
