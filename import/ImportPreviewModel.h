#pragma once

#include "model/ImportSource.h"

#include <QAbstractTableModel>
#include <QByteArray>

#include <vector>

class QHeaderView;

// The wizard's preview: one row per page of the source files, showing the URL it will import as and,
// once a file with contacts was read, the contact's names and e-mail. A repeated page shows greyed,
// with a tool tip that says what it repeats. A plain table model, so that a file of a hundred
// thousand lines lists at once.
class ImportPreviewModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    const std::vector<QByteArray>& pageUrls() const { return m_pageUrls; }
    void append(std::vector<QByteArray> pageUrls);
    void append(std::vector<ImportedLink> links, bool withContacts);
    bool showsContacts() const { return m_showsContacts; }

    // Marks the repeats: within the rows, and of `existing`, the keys of the chosen website's pages.
    void markDuplicates(const QSet<QByteArray>& existing);
    Duplicate duplicate(int row) const;
    int duplicateCount() const { return m_duplicateCount; }
    // What an import takes: every row, or the rows that repeat nothing.
    std::vector<ImportedLink> pagesToImport(bool withDuplicates) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void remark();

    std::vector<QByteArray> m_pageUrls;
    std::vector<ImportedLink> m_contacts;  // beside m_pageUrls; pageUrl left empty
    bool m_showsContacts = false;
    std::vector<Duplicate> m_duplicates;
    QSet<QByteArray> m_existing;
    int m_duplicateCount = 0;
};

// Sizes the columns of a view of the preview: the address takes the room the contact columns leave
// it, and each contact column starts wide enough for a usual name or e-mail address, which the user
// may widen.
void FitPreviewColumns(QHeaderView& header);
