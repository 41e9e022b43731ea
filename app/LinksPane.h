#pragma once

#include "app/SidePanel.h"
#include "model/LinkColumns.h"

#include <array>
#include <optional>

class DetailsPane;
class FramePacer;
class LinkList;
class LinkListModel;
class LinkSelectionModel;
class LinksView;
class QMenu;
class QSplitter;
class SearchField;
class WebsiteTree;
struct LocaleFormats;

// The links side: the caption that names the shown website, its tool bar, the search field, the inbound links list
// VSTItem over the links list and, under it in a splitter, the details pane.
//
// Which columns show: "Result" and "Url" always. Each other column shows as the user chose in the
// header's menu; without a choice it shows, except "Website", which shows while "All my websites"
// is focused in the websites pane and hides while one website is. A hidden column keeps its width.
class LinksPane : public SidePanel {
    Q_OBJECT

public:
    static constexpr int MinColumnWidth = 10;
    static constexpr int MaxColumnWidth = 10000;
    static const char* const AllWebsitesCaption;

    static constexpr int MinDetailsHeight = 40;

    // `websites` names the links' websites in the Website column; it must outlive the pane or be
    // set to null first (setWebsites).
    LinksPane(LinkList& links, const LocaleFormats& formats, const WebsiteTree* websites, QWidget* parent = nullptr);
    ~LinksPane() override;

    LinksView* VSTItem() const { return m_view; }
    SearchField* EditSearch() const { return m_search; }
    // Ctrl+F: the keyboard goes to the search field, its text selected for typing over.
    void focusSearch();
    LinkListModel& model() const { return *m_model; }
    // The frames in which the list catches up with the checks' reports: it moves the rows whose
    // status changed, then the view repaints the changed rows. Others may add steps of their own.
    FramePacer& pacer() const { return *m_pacer; }
    void setCaption(const QString& text);
    QString caption() const;
    void setWebsites(const WebsiteTree* websites);
    // A website was added, renamed or removed: the Website column follows.
    void websitesChanged();

    // The width a column has, hidden or not.
    int columnWidth(int column) const;
    // The list keeps every width within 10 to 10000 pixels.
    void setColumnWidth(int column, int width);

    static bool columnAlwaysShown(int column) { return column == ColResult || column == ColUrl; }
    bool isColumnShown(int column) const;
    // The user's choice for a column; none when it follows its rule.
    std::optional<bool> columnChoice(int column) const;
    void setColumnChoice(int column, std::optional<bool> shown);
    // Every column back to its rule.
    void DefaultColumns();
    // Whether "All my websites" (or nothing) is focused in the websites pane.
    void setAllWebsitesFocused(bool all);
    // Whether the list shows only the links that changed: the Change column's rule shows it then.
    void setChangesShown(bool shown);
    // The header's pop-up menu: a tick for each column, and "Default Columns".
    QMenu* columnsMenu() const { return m_columnsMenu; }

    DetailsPane* details() const { return m_details; }
    QSplitter* detailsSplitter() const { return m_detailsSplitter; }
    bool detailsShown() const;
    void setDetailsShown(bool shown);
    // The pane's height, also while it is hidden: the height it comes back with.
    int detailsHeight() const;
    void setDetailsHeight(int height);

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
    void buildColumnsMenu();
    void showColumns();
    void placeDetails();

    FramePacer* m_pacer;
    LinkListModel* m_model;
    LinkSelectionModel* m_selection;
    LinksView* m_view;
    SearchField* m_search = nullptr;
    DetailsPane* m_details;
    QSplitter* m_detailsSplitter;
    QMenu* m_columnsMenu = nullptr;
    std::array<std::optional<bool>, LinkColumnCount> m_choices{};
    std::array<int, LinkColumnCount> m_hiddenWidths{};
    bool m_allWebsites = true;
    bool m_changesShown = false;
    int m_detailsHeight;
};
