#pragma once

#include <QTreeView>

// The look of VSTItem: a flat list with horizontal grid lines and whole-row selection, without the
// focus rectangle.
class LinksView : public QTreeView {
    Q_OBJECT

public:
    explicit LinksView(QWidget* parent = nullptr);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
