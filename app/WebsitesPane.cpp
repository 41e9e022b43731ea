#include "app/WebsitesPane.h"

#include "app/WebsiteTreeModel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeView>

WebsitesPane::WebsitesPane(QWidget* parent)
    : SidePanel(QStringLiteral(" my websites"), parent),
      m_model(new WebsiteTreeModel(this)),
      m_view(new QTreeView(this))
{
    setObjectName(QStringLiteral("PanelLeft"));
    captionBar()->setObjectName(QStringLiteral("PanelLeftTop"));
    m_view->setObjectName(QStringLiteral("VSTExplorer"));
    m_view->setModel(m_model);
    m_view->setHeaderHidden(true);
    m_view->header()->setStretchLastSection(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setExpandsOnDoubleClick(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setIconSize(QSize(16, 16));
    setView(m_view);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { onContextMenu(pos); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { Q_EMIT nodeDoubleClicked(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { onModelReset(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { m_view->expandAll(); });
}

const rMySiteInfo* WebsitesPane::focusedSite() const
{
    return m_model->siteAt(m_view->currentIndex());
}

std::int32_t WebsitesPane::focusedId() const
{
    const rMySiteInfo* site = focusedSite();
    return site ? site->Id : 0;
}

int WebsitesPane::focusedRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() && current.parent().isValid() ? current.row() : -1;
}

void WebsitesPane::SelectWebsiteById(std::int32_t id)
{
    const auto& children = m_model->tree().children();
    for (std::size_t row = 0; row < children.size(); ++row) {
        if (children[row].Id == id)
            m_view->selectionModel()->setCurrentIndex(m_model->websiteIndex(static_cast<int>(row)),
                                                      QItemSelectionModel::ClearAndSelect);
    }
}

void WebsitesPane::focusRoot()
{
    m_view->selectionModel()->setCurrentIndex(m_model->rootIndex(), QItemSelectionModel::ClearAndSelect);
}

void WebsitesPane::onCurrentChanged(const QModelIndex& current)
{
    if (current.isValid())
        m_view->expand(current);
    const rMySiteInfo* site = m_model->siteAt(current);
    Q_EMIT focusChanged(site ? site->Id : 0);
}

void WebsitesPane::onContextMenu(const QPoint& pos)
{
    const QModelIndex under = m_view->indexAt(pos);
    if (under.isValid())
        m_view->selectionModel()->setCurrentIndex(under, QItemSelectionModel::ClearAndSelect);
    Q_EMIT contextMenuWanted(m_view->viewport()->mapToGlobal(pos));
}

void WebsitesPane::onModelReset()
{
    // A reset clears the focus without a change signal; tell the window, as for a focus cleared.
    m_view->expandAll();
    Q_EMIT focusChanged(0);
}
