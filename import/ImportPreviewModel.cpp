#include "import/ImportPreviewModel.h"

#include "dialogs/AnsiText.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

#include <algorithm>

void ImportPreviewModel::append(std::vector<QByteArray> pageUrls)
{
    if (pageUrls.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(pageUrls.size()) - 1);
    m_pageUrls.insert(m_pageUrls.end(), std::make_move_iterator(pageUrls.begin()),
                      std::make_move_iterator(pageUrls.end()));
    remark();
    endInsertRows();
    if (first > 0)
        Q_EMIT dataChanged(index(0, 0), index(first - 1, 0));
}

void ImportPreviewModel::markDuplicates(const QSet<QByteArray>& existing)
{
    m_existing = existing;
    remark();
    if (!m_pageUrls.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

void ImportPreviewModel::remark()
{
    m_duplicates = FindDuplicates(m_pageUrls, m_existing);
    m_duplicateCount = static_cast<int>(std::count_if(m_duplicates.begin(), m_duplicates.end(),
                                                      [](Duplicate mark) { return mark != Duplicate::None; }));
}

Duplicate ImportPreviewModel::duplicate(int row) const
{
    return m_duplicates.at(static_cast<std::size_t>(row));
}

std::vector<QByteArray> ImportPreviewModel::pagesToImport(bool withDuplicates) const
{
    if (withDuplicates)
        return m_pageUrls;
    std::vector<QByteArray> pages;
    pages.reserve(m_pageUrls.size() - static_cast<std::size_t>(m_duplicateCount));
    for (std::size_t row = 0; row < m_pageUrls.size(); ++row) {
        if (m_duplicates[row] == Duplicate::None)
            pages.push_back(m_pageUrls[row]);
    }
    return pages;
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
    const auto row = static_cast<std::size_t>(index.row());
    const Duplicate mark = m_duplicates[row];
    switch (role) {
    case Qt::DisplayRole: return FromAnsi(m_pageUrls[row]);
    case Qt::ToolTipRole:
        if (mark == Duplicate::InFile)
            return QStringLiteral("%1\nThe same page is listed above.").arg(FromAnsi(m_pageUrls[row]));
        if (mark == Duplicate::Existing)
            return QStringLiteral("%1\nThe website already has this inbound link.").arg(FromAnsi(m_pageUrls[row]));
        return FromAnsi(m_pageUrls[row]);
    case Qt::ForegroundRole:
        if (mark != Duplicate::None)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::FontRole:
        if (mark != Duplicate::None) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    default: return {};
    }
}

QVariant ImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("Inbound links in selected file");
    return {};
}
