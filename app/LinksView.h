#pragma once

#include <QTreeView>

#include <chrono>
#include <functional>

// The look of VSTItem: a flat list with horizontal grid lines and whole-row selection, without the
// focus rectangle.
class LinksView : public QTreeView {
    Q_OBJECT

public:
    explicit LinksView(QWidget* parent = nullptr);

    // Told the CPU time of each repaint of the rows.
    void setPaintCost(std::function<void(std::chrono::nanoseconds)> report) { m_paintCost = std::move(report); }

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void paintEvent(QPaintEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    std::function<void(std::chrono::nanoseconds)> m_paintCost;
};
