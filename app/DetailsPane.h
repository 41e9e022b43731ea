#pragma once

#include "model/Records.h"

#include <QStringList>
#include <QTabWidget>

class HistoryTab;
class LinkListModel;
class QItemSelectionModel;
class QTextBrowser;
class QToolButton;

// The details pane under the links list: what the latest check of the focused link (the list's
// current row) found out. It follows the focus and redraws when that link's row changes, as when
// its check ends. The first tab is "Details", the second the link's "History".
class DetailsPane : public QTabWidget {
    Q_OBJECT

public:
    DetailsPane(LinkListModel& model, QItemSelectionModel& selection, QWidget* parent = nullptr);

    QTextBrowser* detailsView() const { return m_view; }
    QToolButton* copyButton() const { return m_copy; }
    HistoryTab* historyTab() const { return m_history; }
    // The focused link's details as plain text: what "Copy" puts on the clipboard.
    QString plainText() const { return m_plain; }
    void copyAll() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFocused();
    void refreshIf(int firstRow, int lastRow);
    void openLink(const QUrl& url) const;

    LinkListModel& m_model;
    QItemSelectionModel& m_selection;
    QTextBrowser* m_view;
    QToolButton* m_copy;
    HistoryTab* m_history;
    const rMonitorInfo* m_shown = nullptr;  // compared only, never dereferenced
    QString m_html;
    QString m_plain;
    QStringList m_urls;
    bool m_stale = true;  // the focus or its link changed while the pane was hidden
};
