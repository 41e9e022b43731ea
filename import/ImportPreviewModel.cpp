#include "import/ImportPreviewModel.h"

#include "dialogs/AnsiText.h"

void ImportPreviewModel::append(std::vector<QByteArray> pageUrls)
{
    if (pageUrls.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(pageUrls.size()) - 1);
    m_pageUrls.insert(m_pageUrls.end(), std::make_move_iterator(pageUrls.begin()),
                      std::make_move_iterator(pageUrls.end()));
    endInsertRows();
}

int ImportPreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_pageUrls.size());
}

int ImportPreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant ImportPreviewModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return FromAnsi(m_pageUrls[static_cast<std::size_t>(index.row())]);
    return {};
}

QVariant ImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("Inbound links in selected file");
    return {};
}
