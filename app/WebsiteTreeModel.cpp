#include "app/WebsiteTreeModel.h"

#include "app/Artwork.h"
#include "dialogs/AnsiText.h"

namespace {
// The internal id of an index says its level: the root, or a website under it.
constexpr quintptr RootLevel = 0;
constexpr quintptr WebsiteLevel = 1;
}  // namespace

const rMySiteInfo* WebsiteTreeModel::siteAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    if (index.internalId() == RootLevel)
        return m_tree.hasRoot() ? &m_tree.root() : nullptr;
    const auto row = static_cast<std::size_t>(index.row());
    return row < m_tree.children().size() ? &m_tree.children()[row] : nullptr;
}

QModelIndex WebsiteTreeModel::rootIndex() const
{
    return index(0, 0);
}

QModelIndex WebsiteTreeModel::websiteIndex(int row) const
{
    return index(row, 0, rootIndex());
}

void WebsiteTreeModel::reset(const std::function<void(WebsiteTree&)>& change)
{
    beginResetModel();
    try {
        change(m_tree);
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void WebsiteTreeModel::appendWebsite(rMySiteInfo site)
{
    const int row = static_cast<int>(m_tree.children().size());
    beginInsertRows(rootIndex(), row, row);
    m_tree.append(std::move(site));
    endInsertRows();
}

void WebsiteTreeModel::replaceWebsite(int row, rMySiteInfo site)
{
    m_tree.replace(static_cast<std::size_t>(row), std::move(site));
    const QModelIndex changed = websiteIndex(row);
    Q_EMIT dataChanged(changed, changed);
}

void WebsiteTreeModel::removeWebsite(int row)
{
    beginRemoveRows(rootIndex(), row, row);
    m_tree.remove(static_cast<std::size_t>(row));
    endRemoveRows();
}

QModelIndex WebsiteTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_tree.hasRoot() ? createIndex(0, 0, RootLevel) : QModelIndex();
    if (parent.internalId() == RootLevel && parent.row() == 0 && row < rowCount(parent))
        return createIndex(row, 0, WebsiteLevel);
    return {};
}

QModelIndex WebsiteTreeModel::parent(const QModelIndex& child) const
{
    if (child.isValid() && child.internalId() == WebsiteLevel)
        return createIndex(0, 0, RootLevel);
    return {};
}

int WebsiteTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_tree.hasRoot() ? 1 : 0;
    if (parent.internalId() == RootLevel)
        return static_cast<int>(m_tree.children().size());
    return 0;
}

int WebsiteTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant WebsiteTreeModel::data(const QModelIndex& index, int role) const
{
    const rMySiteInfo* site = siteAt(index);
    if (!site)
        return {};
    switch (role) {
    case Qt::DisplayRole: return FromAnsi(site->Name);
    case Qt::DecorationRole: return site->Id == 0 ? Artwork::root() : Artwork::website();
    case Qt::ToolTipRole:
        // The root's Url is empty, and an empty tip shows nothing.
        return site->Url.isEmpty() ? QVariant() : QVariant(FromAnsi(site->Url));
    default: return {};
    }
}

QVariant WebsiteTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("My websites");
    return {};
}
