#include "app/LinkListModel.h"

#include "app/Artwork.h"
#include "dialogs/AnsiText.h"
#include "model/LinkColumns.h"
#include "model/LinkList.h"

#include <algorithm>
#include <utility>

namespace {

const char* const ColumnTitles[LinkColumnCount] = {
    "Result",     "Url",  "First name", "Last name",   "E - mail", "Created",
    "Last check", "Link", "HTTP",       "Anchor text", "Website",  "Change",
};

QString LinkKindHint(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Followed: return QStringLiteral("A followed link to the website");
    case LinkKind::Nofollow: return QStringLiteral("Links to the website, none of them followed");
    case LinkKind::Mention: return QStringLiteral("The website's address, but no link to it");
    case LinkKind::None: return QStringLiteral("No link to the website and no mention of it");
    case LinkKind::Unknown: break;
    }
    return {};
}

QString HttpHint(const CheckDetails& details)
{
    QString hint = details.reason();
    if (details.blocked()) {
        if (!hint.isEmpty())
            hint += u'\n';
        hint += QStringLiteral("Bot protection or a rate limit answered, not the page");
    }
    return hint;
}

QVariant Hint(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

}  // namespace

LinkListModel::LinkListModel(LinkList& list, const LocaleFormats& formats, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_dates(formats)
{
    m_list.setObserver(this);
}

LinkListModel::~LinkListModel()
{
    m_list.setObserver(nullptr);
}

void LinkListModel::setWebsites(const WebsiteTree* websites)
{
    m_websites = websites;
    websitesChanged();
}

void LinkListModel::websitesChanged()
{
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, ColWebsite), index(rowCount() - 1, ColWebsite), {Qt::DisplayRole});
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
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        if (column == ColResult)
            return {};
        const QByteArray text = VSTItemGetText(link, column, m_dates, m_websites);
        // A page's anchor text is UTF-8 whatever the desktop's encoding; record texts are as stored.
        return column == ColAnchorText ? QString::fromUtf8(text) : FromAnsi(text);
    }
    case Qt::DecorationRole: {
        if (column == ColLink) {
            const QIcon icon = Artwork::linkKind(link.Details.get().linkKind());
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        const int image = VSTItemGetImageIndex(link, column);
        return image < 0 ? QVariant() : QVariant(Artwork::status(image));
    }
    case Qt::ToolTipRole:
        switch (column) {
        case ColLink: return Hint(LinkKindHint(link.Details.get().linkKind()));
        case ColHttp: return Hint(HttpHint(link.Details.get()));
        case ColAnchorText: return Hint(QString::fromUtf8(link.Details.get().anchorText()));
        default: return Hint(VSTItemGetHint(link, column));
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
