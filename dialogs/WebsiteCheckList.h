#pragma once

#include "model/Records.h"

#include <QTreeView>

#include <vector>

class QStandardItemModel;
class WebsiteTree;

// A one-column list of the user's websites, each row holding its own copy of one website's record
// and a mark: a check box (any number ticked) or a radio button (at most one chosen). Whole-row
// selection and a grid line under every row. Rows start unmarked.
class WebsiteCheckList : public QTreeView {
    Q_OBJECT

public:
    enum class Mode { Check, Radio };

    WebsiteCheckList(Mode mode, const QString& caption, QWidget* parent = nullptr);

    // One row per website under the root, in the tree's order; the root itself is left out.
    void setWebsites(const WebsiteTree& websites);

    int count() const { return static_cast<int>(m_sites.size()); }
    const rMySiteInfo& site(int row) const { return m_sites.at(static_cast<std::size_t>(row)); }
    bool isMarked(int row) const;
    // In radio mode, marking a row clears the others; unmarking is for check mode only.
    void setMarked(int row, bool marked);
    // The chosen row in radio mode, -1 when none.
    int chosenRow() const;

Q_SIGNALS:
    void marksChanged();

private:
    void onItemChanged(class QStandardItem* item);
    void onClicked(const QModelIndex& index);

    Mode m_mode;
    QStandardItemModel* m_model;
    std::vector<rMySiteInfo> m_sites;
    bool m_updating = false;
};
