#include "app/LinksView.h"

#include "app/FramePacer.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

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
