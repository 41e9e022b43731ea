#pragma once

#include <QStyledItemDelegate>

// Draws an item as usual with a horizontal grid line under it, and leaves the row a little taller
// to make room for the line.
class GridLineDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
