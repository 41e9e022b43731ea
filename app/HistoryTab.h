#pragma once

#include "model/CheckHistory.h"

#include <QWidget>

#include <vector>

class HistoryStore;
class LinkListModel;
class QItemSelectionModel;
class QLabel;
class QTreeWidget;

// A strip of the link's checks, oldest on the left: one bar a check, green where it was found,
// amber where it was not, red where the page could not be fetched. Painted by hand: a few hundred
// rectangles need no chart library.
class VerdictStrip : public QWidget {
    Q_OBJECT

public:
    explicit VerdictStrip(QWidget* parent = nullptr);
    // Newest first, as the history gives them.
    void setChecks(std::vector<LinkStatus> newestFirst);
    const std::vector<LinkStatus>& verdicts() const { return m_verdicts; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<LinkStatus> m_verdicts;  // oldest first
};

// The "History" tab of the details pane: the focused link's recorded checks, newest first, at
// most ShownChecks of them, a strip of their verdicts, and since when the link is found or lost.
// It reads the history when it shows, when the focus moves and after the history commits new
// checks; hidden, it reads nothing.
class HistoryTab : public QWidget {
    Q_OBJECT

public:
    static constexpr int ShownChecks = 200;

    HistoryTab(LinkListModel& model, QItemSelectionModel& selection, QWidget* parent = nullptr);

    // The history to read; null shows that none is kept.
    void setStore(HistoryStore* store);
    // The history has new checks; drawn again soon if shown.
    void historyChanged();

    QLabel* summaryLabel() const { return m_summary; }
    VerdictStrip* strip() const { return m_strip; }
    QTreeWidget* table() const { return m_table; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleRead();
    void read();

    LinkListModel& m_model;
    QItemSelectionModel& m_selection;
    HistoryStore* m_store = nullptr;
    QLabel* m_summary;
    VerdictStrip* m_strip;
    QTreeWidget* m_table;
    bool m_readPending = false;
};

// "Found", "Not found", "Connection error".
QString VerdictName(LinkStatus verdict);
// A history time in the desktop's short format.
QString HistoryTimeText(double at);
