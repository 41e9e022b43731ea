#pragma once

#include "app/SidePanel.h"

class LinkList;
class LinkListModel;
class LinkSelectionModel;
class LinksView;
class SearchField;
struct LocaleFormats;

// The links side: the caption that names the shown website, its tool bar, the search field and the
// inbound links list VSTItem over the links list.
class LinksPane : public SidePanel {
    Q_OBJECT

public:
    static constexpr int MinColumnWidth = 10;
    static constexpr int MaxColumnWidth = 10000;
    static const char* const AllWebsitesCaption;

    LinksPane(LinkList& links, const LocaleFormats& formats, QWidget* parent = nullptr);

    LinksView* VSTItem() const { return m_view; }
    SearchField* EditSearch() const { return m_search; }
    // Ctrl+F: the keyboard goes to the search field, its text selected for typing over.
    void focusSearch();
    LinkListModel& model() const { return *m_model; }
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
    // The text of the search field changed, by typing or otherwise.
    void searchChanged(const QString& text);

private:
    void onContextMenu(const QPoint& pos);
    void showSortIndicator();
    void buildSearchBar();
    void leaveSearch();

    LinkListModel* m_model;
    LinkSelectionModel* m_selection;
    LinksView* m_view;
    SearchField* m_search = nullptr;
};
