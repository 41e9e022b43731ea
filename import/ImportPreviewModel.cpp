#include "import/ImportPreviewModel.h"

#include "dialogs/AnsiText.h"

#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QPalette>

#include <algorithm>

namespace {

enum Column { PageColumn, FirstNameColumn, LastNameColumn, EmailColumn, ColumnCount };

}  // namespace

void ImportPreviewModel::append(std::vector<QByteArray> pageUrls)
{
    std::vector<ImportedLink> links;
    links.reserve(pageUrls.size());
    for (QByteArray& url : pageUrls)
        links.push_back({std::move(url), {}, {}, {}});
    append(std::move(links), false);
}

void ImportPreviewModel::append(std::vector<ImportedLink> links, bool withContacts)
{
    if (withContacts && !m_showsContacts) {
        beginInsertColumns({}, FirstNameColumn, ColumnCount - 1);
        m_showsContacts = true;
        endInsertColumns();
    }
    if (links.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(links.size()) - 1);
    m_pageUrls.reserve(m_pageUrls.size() + links.size());
    m_contacts.reserve(m_contacts.size() + links.size());
    for (ImportedLink& link : links) {
        m_pageUrls.push_back(std::move(link.pageUrl));
        link.pageUrl.clear();
        m_contacts.push_back(std::move(link));
    }
    remark();
    endInsertRows();
    if (first > 0)
        Q_EMIT dataChanged(index(0, 0), index(first - 1, columnCount() - 1));
}

void ImportPreviewModel::markDuplicates(const QSet<QByteArray>& existing)
{
    m_existing = existing;
    remark();
    if (!m_pageUrls.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
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

std::vector<ImportedLink> ImportPreviewModel::pagesToImport(bool withDuplicates) const
{
    std::vector<ImportedLink> pages;
    pages.reserve(m_pageUrls.size() - (withDuplicates ? 0 : static_cast<std::size_t>(m_duplicateCount)));
    for (std::size_t row = 0; row < m_pageUrls.size(); ++row) {
        if (withDuplicates || m_duplicates[row] == Duplicate::None) {
            ImportedLink link = m_contacts[row];
            link.pageUrl = m_pageUrls[row];
            pages.push_back(std::move(link));
        }
    }
    return pages;
}

int ImportPreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_pageUrls.size());
}

int ImportPreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (m_showsContacts ? ColumnCount : 1);
}

QVariant ImportPreviewModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const Duplicate mark = m_duplicates[row];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case FirstNameColumn: return FromAnsi(m_contacts[row].firstName);
        case LastNameColumn: return FromAnsi(m_contacts[row].lastName);
        case EmailColumn: return FromAnsi(m_contacts[row].email);
        default: return FromAnsi(m_pageUrls[row]);
        }
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case PageColumn: return QStringLiteral("Inbound links in selected file");
    case FirstNameColumn: return QStringLiteral("First name");
    case LastNameColumn: return QStringLiteral("Last name");
    case EmailColumn: return QStringLiteral("E-mail");
    default: return {};
    }
}

void FitPreviewColumns(QHeaderView& header)
{
    header.setStretchLastSection(false);
    header.setSectionResizeMode(PageColumn, QHeaderView::Stretch);
    const int character = header.fontMetrics().averageCharWidth();
    for (int column = FirstNameColumn; column < header.count(); ++column) {
        header.setSectionResizeMode(column, QHeaderView::Interactive);
        header.resizeSection(column, character * (column == EmailColumn ? 24 : 12));
    }
}
