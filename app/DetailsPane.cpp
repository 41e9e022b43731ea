#include "app/DetailsPane.h"

#include "app/DetailsText.h"
#include "app/HistoryTab.h"
#include "app/LinkListModel.h"
#include "dialogs/Shell.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolButton>

DetailsPane::DetailsPane(LinkListModel& model, QItemSelectionModel& selection, QWidget* parent)
    : QTabWidget(parent),
      m_model(model),
      m_selection(selection),
      m_view(new QTextBrowser(this)),
      m_copy(new QToolButton(this)),
      m_history(new HistoryTab(model, selection, this))
{
    setObjectName(QStringLiteral("DetailsPane"));
    setDocumentMode(true);
    m_view->setObjectName(QStringLiteral("DetailsView"));
    // Links are followed here, through the shell, never by the browser widget itself.
    m_view->setOpenLinks(false);
    m_view->setOpenExternalLinks(false);
    m_view->document()->setDefaultStyleSheet(QStringLiteral("pre { font-family: \"%1\"; }")
                                                 .arg(QFontDatabase::systemFont(QFontDatabase::FixedFont).family()));
    addTab(m_view, QStringLiteral("Details"));
    addTab(m_history, QStringLiteral("History"));

    m_copy->setObjectName(QStringLiteral("DetailsCopy"));
    m_copy->setText(QStringLiteral("Copy"));
    m_copy->setToolTip(QStringLiteral("Copy the details of the focused link"));
    m_copy->setAutoRaise(true);
    setCornerWidget(m_copy, Qt::TopRightCorner);

    connect(m_copy, &QToolButton::clicked, this, [this] { copyAll(); });
    connect(m_view, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { openLink(url); });
    connect(&m_selection, &QItemSelectionModel::currentChanged, this, [this] { showFocused(); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) { refreshIf(from.row(), to.row()); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { showFocused(); });
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] { showFocused(); });
    showFocused();
}

void DetailsPane::showEvent(QShowEvent* event)
{
    QTabWidget::showEvent(event);
    if (m_stale)
        showFocused();
}

void DetailsPane::refreshIf(int firstRow, int lastRow)
{
    const int row = m_selection.currentIndex().row();
    if (row >= 0 && row >= firstRow && row <= lastRow)
        showFocused();
}

void DetailsPane::showFocused()
{
    // Hidden, it waits: with many checks running its text would be built for nothing.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    const LinkRecord link = m_model.recordAt(m_selection.currentIndex().row());
    DetailsText text;
    if (link)
        text = DescribeCheck(*link);
    else
        text.html = text.plain = QStringLiteral("No inbound link is focused.");
    if (link.get() == m_shown && text.html == m_html)
        return;
    // The same link drawn again keeps the place the user scrolled to.
    const int scrolled = link.get() == m_shown ? m_view->verticalScrollBar()->value() : 0;
    m_shown = link.get();
    m_html = text.html;
    m_plain = text.plain;
    m_urls = text.urls;
    m_view->setHtml(text.html);
    m_view->verticalScrollBar()->setValue(scrolled);
}

void DetailsPane::copyAll() const
{
    QApplication::clipboard()->setText(m_plain);
}

void DetailsPane::openLink(const QUrl& url) const
{
    bool ok = false;
    const int index = url.scheme() == u"link" ? url.path().toInt(&ok) : -1;
    if (!ok || index < 0 || index >= m_urls.size())
        return;
    if (IsHttpAddress(m_urls[index]))
        shell().openUrl(m_urls[index]);
}
