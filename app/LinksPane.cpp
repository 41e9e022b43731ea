#include "app/LinksPane.h"

#include "app/Artwork.h"
#include "app/LinkListModel.h"
#include "app/LinkSelectionModel.h"
#include "app/LinksView.h"
#include "app/SearchField.h"
#include "model/LinkList.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>

#include <algorithm>

const char* const LinksPane::AllWebsitesCaption = LinkList::AllItemsCaption;

LinksPane::LinksPane(LinkList& links, const LocaleFormats& formats, QWidget* parent)
    : SidePanel(QString::fromLatin1(AllWebsitesCaption), parent),
      m_model(new LinkListModel(links, formats, this)),
      m_selection(new LinkSelectionModel(m_model)),
      m_view(new LinksView(this))
{
    setObjectName(QStringLiteral("PanelRight"));
    captionBar()->setObjectName(QStringLiteral("PanelRightTop"));
    m_view->setObjectName(QStringLiteral("VSTItem"));
    m_view->setModel(m_model);
    m_view->setSelectionModel(m_selection);

    QHeaderView* header = m_view->header();
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(MinColumnWidth);
    header->setMaximumSectionSize(MaxColumnWidth);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    static constexpr int DesignWidths[LinkColumnCount] = {50, 140, 80, 80, 80, 80, 80};
    for (int column = 0; column < LinkColumnCount; ++column)
        header->resizeSection(column, DesignWidths[column]);
    buildSearchBar();
    setView(m_view);

    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { onContextMenu(pos); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { Q_EMIT rowActivated(); });
    // The list's own shortcut: Return elsewhere (a dialog's default button, say) is not its business.
    auto* modify = new QAction(m_view);
    modify->setObjectName(QStringLiteral("ReturnModifies"));
    modify->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    modify->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(modify);
    connect(modify, &QAction::triggered, this, [this] { Q_EMIT rowActivated(); });
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { Q_EMIT headerClicked(column); });
    connect(m_model, &LinkListModel::selectionNeedsSync, m_selection, &LinkSelectionModel::syncFromList);
    connect(m_model, &LinkListModel::sortIndicatorChanged, this, [this] { showSortIndicator(); });
    // The header flips its glyph on a click by itself; the list alone decides the sort.
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this] { showSortIndicator(); });
}

void LinksPane::buildSearchBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("SearchBar"));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 3, 4, 3);
    m_search = new SearchField(bar);
    m_search->setObjectName(QStringLiteral("EditSearch"));
    m_search->setPlaceholderText(QStringLiteral("Search links (Ctrl+F)"));
    m_search->setToolTip(QStringLiteral("Shows the links whose address, contact or website holds every word typed"));
    m_search->addAction(Artwork::tool("search"), QLineEdit::LeadingPosition);
    layout->addWidget(m_search);
    addBar(bar);
    setTabOrder(m_search, m_view);

    // The window's own key, so it reaches the field from anywhere in the window but not from a dialog.
    auto* find = new QAction(this);
    find->setObjectName(QStringLiteral("FindShortcut"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    find->setShortcutContext(Qt::WindowShortcut);
    addAction(find);
    connect(find, &QAction::triggered, this, [this] { focusSearch(); });
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) { Q_EMIT searchChanged(text); });
    connect(m_search, &SearchField::leaveWanted, this, [this] { leaveSearch(); });
}

void LinksPane::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void LinksPane::leaveSearch()
{
    // To the results: the row the list was on, or else the first one, selected as a click would.
    const bool hadRow = m_view->currentIndex().isValid();
    m_view->setFocus(Qt::OtherFocusReason);
    if (!hadRow && m_model->rowCount() > 0)
        m_view->setCurrentIndex(m_model->index(0, 0));
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
    if (under.isValid() && !m_selection->isSelected(under))
        m_selection->setCurrentIndex(under, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Q_EMIT contextMenuWanted(m_view->viewport()->mapToGlobal(pos));
}

void LinksPane::showSortIndicator()
{
    const LinkList& list = m_model->list();
    m_view->header()->setSortIndicator(list.sortColumn(),
                                       list.sortDirection() == LinkList::Direction::Ascending ? Qt::AscendingOrder
                                                                                              : Qt::DescendingOrder);
}
