#pragma once

#include "model/DateTimeCodec.h"
#include "model/LinkListObserver.h"
#include "model/Records.h"

#include <QAbstractTableModel>
#include <QList>

class LinkList;
class WebsiteTree;

// Presents the visible rows of the links list to VSTItem, in display order. The list holds the
// rows, their order, visibility and selection; this only translates its notifications.
class LinkListModel : public QAbstractTableModel, private LinkListObserver {
    Q_OBJECT

public:
    LinkListModel(LinkList& list, const LocaleFormats& formats, QObject* parent = nullptr);
    ~LinkListModel() override;

    LinkList& list() const { return m_list; }
    // The websites whose Names the Website column shows; null shows none. The tree must outlive the
    // model or be set to null first.
    void setWebsites(const WebsiteTree* websites);
    // A website was added, renamed or removed: the Website column is drawn again.
    void websitesChanged();
    // The record of a visible row; null outside the range.
    LinkRecord recordAt(int visibleRow) const;
    // True between the list's announcement of a change to its rows and the change's end.
    bool changing() const { return m_changing; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The rows under the view changed in a way the view's selection may no longer mirror.
    void selectionNeedsSync();
    void sortIndicatorChanged();

private:
    void beginReset() override;
    void endReset() override;
    void beginLayoutChange() override;
    void endLayoutChange() override;
    void beginMoveRow(int from, int to) override;
    void endMoveRow() override;
    void beginInsertRow(int at) override;
    void endInsertRow() override;
    void beginRemoveRow(int at) override;
    void endRemoveRow() override;
    void rowChanged(int visibleRow) override;
    void selectionChanged() override;
    void sortChanged() override;

    LinkList& m_list;
    const WebsiteTree* m_websites = nullptr;
    DateTimeCodec m_dates;
    bool m_moving = false;
    bool m_changing = false;
    // The records under the view's persistent indexes while the list re-sorts.
    QModelIndexList m_persistentBefore;
    std::vector<std::pair<LinkRecord, int>> m_persistentRecords;
};
