#include "app/LinksPane.h"

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTreeView>

#include <algorithm>

const char* const LinksPane::AllWebsitesCaption = "  Inbound Links for all my websites";

LinksPane::LinksPane(QWidget* parent)
    : SidePanel(QString::fromLatin1(AllWebsitesCaption), parent), m_columns(new QStandardItemModel(0, ColumnCount, this)),
      m_view(new QTreeView(this))
{
    setObjectName(QStringLiteral("PanelRight"));
    captionBar()->setObjectName(QStringLiteral("PanelRightTop"));
    m_columns->setHorizontalHeaderLabels({QStringLiteral("Result"), QStringLiteral("Url"), QStringLiteral("First name"),
                                          QStringLiteral("Last name"), QStringLiteral("E - mail"),
                                          QStringLiteral("Created"), QStringLiteral("Last check")});
    m_view->setObjectName(QStringLiteral("VSTItem"));
    m_view->setModel(m_columns);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setIconSize(QSize(16, 16));

    QHeaderView* header = m_view->header();
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(MinColumnWidth);
    header->setMaximumSectionSize(MaxColumnWidth);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    static constexpr int DesignWidths[ColumnCount] = {50, 140, 80, 80, 80, 80, 80};
    for (int column = 0; column < ColumnCount; ++column)
        header->resizeSection(column, DesignWidths[column]);
    setView(m_view);

    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { onContextMenu(pos); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { Q_EMIT rowDoubleClicked(); });
}

void LinksPane::setCaption(const QString& text)
{
    captionBar()->setText(text);
}

QString LinksPane::caption() const
{
    return captionBar()->text();
}

int LinksPane::columnWidth(int column) const
{
    return m_view->header()->sectionSize(column);
}

void LinksPane::setColumnWidth(int column, int width)
{
    m_view->header()->resizeSection(column, std::clamp(width, MinColumnWidth, MaxColumnWidth));
}

void LinksPane::onContextMenu(const QPoint& pos)
{
    // A right click on a row that is not selected makes it the selection; on a selected row the
    // selection stays, so the menu acts on all of it.
    const QModelIndex under = m_view->indexAt(pos);
    if (under.isValid() && !m_view->selectionModel()->isSelected(under))
        m_view->selectionModel()->setCurrentIndex(under, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    Q_EMIT contextMenuWanted(m_view->viewport()->mapToGlobal(pos));
}
