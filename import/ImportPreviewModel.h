#pragma once

#include <QAbstractTableModel>
#include <QByteArray>

#include <vector>

// The wizard's preview: one row per source line, showing the page URL it will import as. A plain
// table model, so that a file of a hundred thousand lines lists at once.
class ImportPreviewModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    const std::vector<QByteArray>& pageUrls() const { return m_pageUrls; }
    void append(std::vector<QByteArray> pageUrls);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<QByteArray> m_pageUrls;
};
