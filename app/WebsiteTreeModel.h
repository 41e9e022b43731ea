#pragma once

#include "model/WebsiteTree.h"

#include <QAbstractItemModel>

#include <functional>

// Presents the websites tree to the websites pane: the root at the top level, the websites below
// it. Every change to the tree goes through here so the view hears of it.
class WebsiteTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    const WebsiteTree& tree() const { return m_tree; }
    // The record of a node; nullptr for an invalid index.
    const rMySiteInfo* siteAt(const QModelIndex& index) const;
    QModelIndex rootIndex() const;
    QModelIndex websiteIndex(int row) const;

    // Rebuilds the tree in one go, e.g. AddRootWebsite and then a load of the websites file.
    void reset(const std::function<void(WebsiteTree&)>& change);
    void appendWebsite(rMySiteInfo site);
    void replaceWebsite(int row, rMySiteInfo site);
    void removeWebsite(int row);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    WebsiteTree m_tree;
};
