#include "app/LinksView.h"

#include "app/FramePacer.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

class NoFocusDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
    }
};

}  // namespace

LinksView::LinksView(QWidget* parent) : QTreeView(parent)
{
    setItemDelegate(new NoFocusDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFrameShape(QFrame::NoFrame);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
}

void LinksView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // The model names one range for all the rows a frame changed, which during a walk spans most of
    // the list. The tree view would measure every row of it to find what to repaint, each at a cost
    // that grows with its distance from the rows on screen; only the rows on screen can need it.
    const QModelIndex firstShown = indexAt(QPoint(0, 0));
    if (!topLeft.isValid() || !bottomRight.isValid() || !firstShown.isValid() || topLeft.parent().isValid()) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QModelIndex lastShown = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = std::max(topLeft.row(), firstShown.row());
    const int last = std::min(bottomRight.row(), lastShown.isValid() ? lastShown.row() : bottomRight.row());
    if (first > last)
        return;
    QTreeView::dataChanged(topLeft.siblingAtRow(first), bottomRight.siblingAtRow(last), roles);
}

void LinksView::paintEvent(QPaintEvent* event)
{
    if (!m_paintCost) {
        QTreeView::paintEvent(event);
        return;
    }
    const std::chrono::nanoseconds start = FramePacer::threadCpuTime();
    QTreeView::paintEvent(event);
    m_paintCost(FramePacer::threadCpuTime() - start);
}

void LinksView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QTreeView::drawRow(painter, option, index);
    const QColor line = palette().color(QPalette::Midlight);
    painter->save();
    painter->setPen(line);
    const int bottom = option.rect.bottom();
    painter->drawLine(option.rect.left(), bottom, option.rect.right(), bottom);
    painter->restore();
}
