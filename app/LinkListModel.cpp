#include "app/LinkListModel.h"

#include "app/Artwork.h"
#include "dialogs/AnsiText.h"
#include "model/LinkColumns.h"
#include "model/LinkList.h"

#include <algorithm>
#include <utility>

namespace {
const char* const ColumnTitles[LinkColumnCount] = {"Result",   "Url",     "First name", "Last name",
                                                   "E - mail", "Created", "Last check"};
}

LinkListModel::LinkListModel(LinkList& list, const LocaleFormats& formats, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_dates(formats)
{
    m_list.setObserver(this);
}

LinkListModel::~LinkListModel()
{
    m_list.setObserver(nullptr);
}

LinkRecord LinkListModel::recordAt(int visibleRow) const
{
    if (visibleRow < 0 || visibleRow >= m_list.visibleCount())
        return {};
    return m_list.recordHandle(m_list.rowOfVisible(visibleRow));
}

int LinkListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.visibleCount();
}

int LinkListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : LinkColumnCount;
}

QVariant LinkListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.visibleCount())
        return {};
    const rMonitorInfo& link = m_list.record(m_list.rowOfVisible(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == ColResult ? QVariant()
                                           : QVariant(FromAnsi(VSTItemGetText(link, index.column(), m_dates)));
    case Qt::DecorationRole: {
        const int image = VSTItemGetImageIndex(link, index.column());
        return image < 0 ? QVariant() : QVariant(Artwork::status(image));
    }
    case Qt::ToolTipRole: {
        const QString hint = VSTItemGetHint(link, index.column());
        return hint.isEmpty() ? QVariant() : QVariant(hint);
    }
    default: return {};
    }
}

QVariant LinkListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < LinkColumnCount)
        return QString::fromLatin1(ColumnTitles[section]);
    return {};
}

void LinkListModel::beginReset()
{
    flushChanges();
    m_changing = true;
    beginResetModel();
}

void LinkListModel::endReset()
{
    endResetModel();
    m_changing = false;
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::beginLayoutChange()
{
    flushChanges();
    m_changing = true;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_persistentBefore = persistentIndexList();
    m_persistentRecords.clear();
    m_persistentRecords.reserve(static_cast<std::size_t>(m_persistentBefore.size()));
    for (const QModelIndex& index : m_persistentBefore)
        m_persistentRecords.emplace_back(recordAt(index.row()), index.column());
}

void LinkListModel::endLayoutChange()
{
    QModelIndexList after;
    after.reserve(m_persistentBefore.size());
    for (const auto& [record, column] : m_persistentRecords) {
        const int row = record ? m_list.visibleIndexOf(*record) : -1;
        after.append(row < 0 ? QModelIndex() : index(row, column));
    }
    changePersistentIndexList(m_persistentBefore, after);
    m_persistentBefore.clear();
    m_persistentRecords.clear();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    m_changing = false;
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::beginMoveRow(int from, int to)
{
    flushChanges();
    m_changing = true;
    // Qt names the destination as the row before which the moved row lands, counted before the move.
    const int destination = to > from ? to + 1 : to;
    m_moving = from != to && beginMoveRows({}, from, from, {}, destination);
}

void LinkListModel::endMoveRow()
{
    if (m_moving)
        endMoveRows();
    m_moving = false;
    m_changing = false;
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::beginInsertRow(int at)
{
    flushChanges();
    m_changing = true;
    beginInsertRows({}, at, at);
}

void LinkListModel::endInsertRow()
{
    endInsertRows();
    m_changing = false;
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::beginRemoveRow(int at)
{
    flushChanges();
    m_changing = true;
    beginRemoveRows({}, at, at);
}

void LinkListModel::endRemoveRow()
{
    endRemoveRows();
    m_changing = false;
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::rowChanged(int visibleRow)
{
    if (!m_changePacer) {
        Q_EMIT dataChanged(index(visibleRow, 0), index(visibleRow, LinkColumnCount - 1));
        return;
    }
    const bool first = m_changedFirst < 0;
    m_changedFirst = first ? visibleRow : std::min(m_changedFirst, visibleRow);
    m_changedLast = first ? visibleRow : std::max(m_changedLast, visibleRow);
    if (first)
        m_changePacer();
}

void LinkListModel::flushChanges()
{
    if (m_changedFirst < 0)
        return;
    const int first = std::exchange(m_changedFirst, -1);
    const int last = std::min(std::exchange(m_changedLast, -1), rowCount() - 1);
    if (first <= last)
        Q_EMIT dataChanged(index(first, 0), index(last, LinkColumnCount - 1));
}

void LinkListModel::selectionChanged()
{
    Q_EMIT selectionNeedsSync();
}

void LinkListModel::sortChanged()
{
    Q_EMIT sortIndicatorChanged();
}
