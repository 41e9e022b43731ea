#pragma once

#include <QItemSelectionModel>

class LinkListModel;

// The view's selection, kept as the links list's own: what the user selects goes to the list's
// rows, and the list's selection of the visible rows is mirrored back. Rows the filter hides keep
// their state, except that a plain click (a clearing selection) clears them as well.
class LinkSelectionModel : public QItemSelectionModel {
    Q_OBJECT

public:
    explicit LinkSelectionModel(LinkListModel* model);

    using QItemSelectionModel::select;
    // Every other way of changing the selection (clearSelection, setCurrentIndex, the index form of
    // select) ends here.
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;
    // Makes the view's selection that of the list's visible rows.
    void syncFromList();

private:
    void forward(const QItemSelection& selected, const QItemSelection& deselected);
    void clearList();

    LinkListModel* m_links;
    bool m_fromList = false;  // mirroring the list into the view
    bool m_toList = false;    // passing the user's change to the list
};
