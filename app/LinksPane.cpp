#include "app/LinksPane.h"

#include "app/Artwork.h"
#include "app/DetailsPane.h"
#include "app/FramePacer.h"
#include "app/LinkListModel.h"
#include "app/LinkSelectionModel.h"
#include "app/LinksView.h"
#include "app/SearchField.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>

#include <algorithm>

const char* const LinksPane::AllWebsitesCaption = LinkList::AllItemsCaption;

LinksPane::LinksPane(LinkList& links, const LocaleFormats& formats, const WebsiteTree* websites, QWidget* parent)
    : SidePanel(QString::fromLatin1(AllWebsitesCaption), parent),
      m_pacer(new FramePacer(this)),
      m_model(new LinkListModel(links, formats, this)),
      m_selection(new LinkSelectionModel(m_model)),
      m_view(new LinksView(this)),
      m_details(new DetailsPane(*m_model, *m_selection, this)),
      m_detailsSplitter(new QSplitter(Qt::Vertical, this)),
      m_detailsHeight(Keys::DetailsHeight.defaultValue)
{
    setObjectName(QStringLiteral("PanelRight"));
    captionBar()->setObjectName(QStringLiteral("PanelRightTop"));
    m_view->setObjectName(QStringLiteral("VSTItem"));
    m_view->setModel(m_model);
    m_view->setSelectionModel(m_selection);
    setWebsites(websites);

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
    static constexpr int DesignWidths[] = {50, 140, 80, 80, 80, 80, 80};
    for (int column = 0; column < LinkColumnCount; ++column) {
        const int width = column < 7 ? DesignWidths[column] : DefaultColumnWidth(column);
        header->resizeSection(column, width);
        m_hiddenWidths[static_cast<std::size_t>(column)] = width;
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    buildColumnsMenu();
    showColumns();
    buildSearchBar();

    // The list takes what the window gains; the details pane keeps its height.
    m_detailsSplitter->setObjectName(QStringLiteral("DetailsSplitter"));
    m_detailsSplitter->setChildrenCollapsible(false);
    m_detailsSplitter->addWidget(m_view);
    m_detailsSplitter->addWidget(m_details);
    m_detailsSplitter->setStretchFactor(0, 1);
    m_detailsSplitter->setStretchFactor(1, 0);
    m_details->setMinimumHeight(MinDetailsHeight);
    m_details->hide();
    setView(m_detailsSplitter);
    connect(m_detailsSplitter, &QSplitter::splitterMoved, this, [this] {
        if (m_details->isVisible())
            m_detailsHeight = m_details->height();
    });

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
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& pos) { m_columnsMenu->popup(header->mapToGlobal(pos)); });
    connect(m_model, &LinkListModel::selectionNeedsSync, m_selection, &LinkSelectionModel::syncFromList);
    connect(m_model, &LinkListModel::sortIndicatorChanged, this, [this] { showSortIndicator(); });
    // The header flips its glyph on a click by itself; the list alone decides the sort.
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this] { showSortIndicator(); });

    const int sort = m_pacer->addStep([&links] { links.settle(); });
    const int cells = m_pacer->addStep([this] { m_model->flushChanges(); });
    links.setSortPacer([this, sort] { m_pacer->request(sort); });
    m_model->setChangePacer([this, cells] { m_pacer->request(cells); });
    // Repainting the rows a frame changed is the dearest part of it.
    m_view->setPaintCost([this](std::chrono::nanoseconds cpuTime) { m_pacer->addCost(cpuTime); });
}

LinksPane::~LinksPane()
{
    m_model->list().setSortPacer(nullptr);
    m_model->setChangePacer(nullptr);
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

void LinksPane::setWebsites(const WebsiteTree* websites)
{
    m_model->list().setWebsites(websites);
    m_model->setWebsites(websites);
}

void LinksPane::websitesChanged()
{
    m_model->list().websitesChanged();
    m_model->websitesChanged();
}

int LinksPane::columnWidth(int column) const
{
    const QHeaderView* header = m_view->header();
    return header->isSectionHidden(column) ? m_hiddenWidths[static_cast<std::size_t>(column)]
                                           : header->sectionSize(column);
}

void LinksPane::setColumnWidth(int column, int width)
{
    width = std::clamp(width, MinColumnWidth, MaxColumnWidth);
    QHeaderView* header = m_view->header();
    if (header->isSectionHidden(column))
        m_hiddenWidths[static_cast<std::size_t>(column)] = width;
    else
        header->resizeSection(column, width);
}

bool LinksPane::isColumnShown(int column) const
{
    if (columnAlwaysShown(column))
        return true;
    if (const std::optional<bool> chosen = columnChoice(column))
        return *chosen;
    if (column == ColChange)
        return m_changesShown;
    return column != ColWebsite || m_allWebsites;
}

std::optional<bool> LinksPane::columnChoice(int column) const
{
    if (column < 0 || column >= LinkColumnCount || columnAlwaysShown(column))
        return std::nullopt;
    return m_choices[static_cast<std::size_t>(column)];
}

void LinksPane::setColumnChoice(int column, std::optional<bool> shown)
{
    if (column < 0 || column >= LinkColumnCount || columnAlwaysShown(column))
        return;
    m_choices[static_cast<std::size_t>(column)] = shown;
    showColumns();
}

void LinksPane::DefaultColumns()
{
    m_choices.fill(std::nullopt);
    showColumns();
}

void LinksPane::setAllWebsitesFocused(bool all)
{
    m_allWebsites = all;
    showColumns();
}

void LinksPane::setChangesShown(bool shown)
{
    m_changesShown = shown;
    showColumns();
}

void LinksPane::showColumns()
{
    QHeaderView* header = m_view->header();
    for (int column = 0; column < LinkColumnCount; ++column) {
        const bool shown = isColumnShown(column);
        if (shown == !header->isSectionHidden(column))
            continue;
        int& kept = m_hiddenWidths[static_cast<std::size_t>(column)];
        if (shown) {
            header->showSection(column);
            header->resizeSection(column, kept);
        } else {
            kept = header->sectionSize(column);
            header->hideSection(column);
        }
    }
}

void LinksPane::buildColumnsMenu()
{
    m_columnsMenu = new QMenu(this);
    m_columnsMenu->setObjectName(QStringLiteral("ColumnsMenu"));
    std::array<QAction*, LinkColumnCount> ticks{};
    for (int column = 0; column < LinkColumnCount; ++column) {
        QAction* tick = m_columnsMenu->addAction(m_model->headerData(column, Qt::Horizontal).toString());
        tick->setCheckable(true);
        tick->setData(column);
        tick->setEnabled(!columnAlwaysShown(column));
        connect(tick, &QAction::triggered, this, [this, column](bool shown) { setColumnChoice(column, shown); });
        ticks[static_cast<std::size_t>(column)] = tick;
    }
    m_columnsMenu->addSeparator();
    QAction* defaults = m_columnsMenu->addAction(QStringLiteral("Default Columns"));
    defaults->setObjectName(QStringLiteral("DefaultColumns"));
    connect(defaults, &QAction::triggered, this, [this] { DefaultColumns(); });
    connect(m_columnsMenu, &QMenu::aboutToShow, this, [this, ticks] {
        for (int column = 0; column < LinkColumnCount; ++column)
            ticks[static_cast<std::size_t>(column)]->setChecked(isColumnShown(column));
    });
}

bool LinksPane::detailsShown() const
{
    return !m_details->isHidden();
}

void LinksPane::setDetailsShown(bool shown)
{
    if (shown == detailsShown())
        return;
    if (!shown)
        m_detailsHeight = m_details->height();
    m_details->setVisible(shown);
    if (shown)
        placeDetails();
}

int LinksPane::detailsHeight() const
{
    return m_details->isVisible() ? m_details->height() : m_detailsHeight;
}

void LinksPane::setDetailsHeight(int height)
{
    m_detailsHeight = std::clamp(height, int(MinDetailsHeight), MaxColumnWidth);
    if (detailsShown())
        placeDetails();
}

// The list keeps at least as much height as the pane would leave it; what is left goes to the pane.
void LinksPane::placeDetails()
{
    const int total = m_detailsSplitter->height();
    const int height =
        total > 2 * MinDetailsHeight ? std::min(m_detailsHeight, total - MinDetailsHeight) : m_detailsHeight;
    m_detailsSplitter->setSizes({std::max(total - height, MinDetailsHeight), height});
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
