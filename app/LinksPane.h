#pragma once

#include "app/SidePanel.h"

class QStandardItemModel;
class QTreeView;

// The links side: the caption that names the shown website, its tool bar and the inbound links
// list VSTItem.
class LinksPane : public SidePanel {
    Q_OBJECT

public:
    static constexpr int ColumnCount = 7;
    static constexpr int MinColumnWidth = 10;
    static constexpr int MaxColumnWidth = 10000;
    static const char* const AllWebsitesCaption;

    explicit LinksPane(QWidget* parent = nullptr);

    QTreeView* VSTItem() const { return m_view; }
    void setCaption(const QString& text);
    QString caption() const;

    int columnWidth(int column) const;
    // The list keeps every width within 10 to 10000 pixels.
    void setColumnWidth(int column, int width);

Q_SIGNALS:
    void contextMenuWanted(const QPoint& globalPos);
    void rowDoubleClicked();

private:
    void onContextMenu(const QPoint& pos);

    QStandardItemModel* m_columns;
    QTreeView* m_view;
};
