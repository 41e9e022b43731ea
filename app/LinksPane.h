#pragma once

#include "app/SidePanel.h"

class FramePacer;
class LinkList;
class LinkListModel;
class LinkSelectionModel;
class LinksView;
struct LocaleFormats;

// The links side: the caption that names the shown website, its tool bar and the inbound links
// list VSTItem over the links list.
class LinksPane : public SidePanel {
    Q_OBJECT

public:
    static constexpr int MinColumnWidth = 10;
    static constexpr int MaxColumnWidth = 10000;
    static const char* const AllWebsitesCaption;

    LinksPane(LinkList& links, const LocaleFormats& formats, QWidget* parent = nullptr);
    ~LinksPane() override;

    LinksView* VSTItem() const { return m_view; }
    LinkListModel& model() const { return *m_model; }
    // The frames in which the list catches up with the checks' reports: it moves the rows whose
    // status changed, then the view repaints the changed rows. Others may add steps of their own.
    FramePacer& pacer() const { return *m_pacer; }
    void setCaption(const QString& text);
    QString caption() const;

    int columnWidth(int column) const;
    // The list keeps every width within 10 to 10000 pixels.
    void setColumnWidth(int column, int width);

Q_SIGNALS:
    void contextMenuWanted(const QPoint& globalPos);
    // A double click on a row, or Return while the list has the focus: the row is to be modified.
    void rowActivated();
    void headerClicked(int column);

private:
    void onContextMenu(const QPoint& pos);
    void showSortIndicator();

    FramePacer* m_pacer;
    LinkListModel* m_model;
    LinkSelectionModel* m_selection;
    LinksView* m_view;
};
