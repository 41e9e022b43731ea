#include "app/HistoryTab.h"

#include "app/LinkListModel.h"
#include "model/DateTime.h"
#include "model/HistoryStore.h"
#include "model/LinkColumns.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QColor VerdictColour(LinkStatus verdict)
{
    switch (verdict) {
    case lsFound: return QColor(0x2e, 0x7d, 0x32);
    case lsNotFound: return QColor(0xef, 0x9a, 0x1a);
    default: return QColor(0xc6, 0x28, 0x28);
    }
}

}  // namespace

QString VerdictName(LinkStatus verdict)
{
    switch (verdict) {
    case lsFound: return QStringLiteral("Found");
    case lsNotFound: return QStringLiteral("Not found");
    case lsConnectionError: return QStringLiteral("Connection error");
    default: return {};
    }
}

QString HistoryTimeText(double at)
{
    if (at == 0)
        return {};
    return QLocale().toString(QDateTime(DecodeDate(at), DecodeTime(at)), QLocale::ShortFormat);
}

VerdictStrip::VerdictStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HistoryStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Every check, oldest on the left: green found, amber not found, red connection error"));
}

void VerdictStrip::setChecks(std::vector<LinkStatus> newestFirst)
{
    std::reverse(newestFirst.begin(), newestFirst.end());
    m_verdicts = std::move(newestFirst);
    update();
}

QSize VerdictStrip::sizeHint() const
{
    return {200, 14};
}

void VerdictStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int count = int(m_verdicts.size());
    if (count == 0)
        return;
    // Bars at most 8 pixels wide, filling the strip from the right when few.
    const double width = std::min(8.0, double(this->width()) / count);
    const double start = this->width() - width * count;
    for (int i = 0; i < count; ++i) {
        const QRectF bar(start + i * width, 1, std::max(1.0, width - (width >= 3 ? 1 : 0)), height() - 2);
        painter.fillRect(bar, VerdictColour(m_verdicts[std::size_t(i)]));
    }
}

HistoryTab::HistoryTab(LinkListModel& model, QItemSelectionModel& selection, QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_selection(selection),
      m_summary(new QLabel(this)),
      m_strip(new VerdictStrip(this)),
      m_table(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("HistoryTab"));
    m_summary->setObjectName(QStringLiteral("HistorySummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_table->setObjectName(QStringLiteral("HistoryTable"));
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Result"), QStringLiteral("HTTP"),
                              QStringLiteral("Link"), QStringLiteral("Anchor text"), QStringLiteral("Change")});
    m_table->header()->setStretchLastSection(true);
    m_table->setColumnWidth(0, 130);
    m_table->setColumnWidth(1, 110);
    m_table->setColumnWidth(2, 90);
    m_table->setColumnWidth(3, 70);
    m_table->setColumnWidth(4, 160);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_summary);
    layout->addWidget(m_strip);
    layout->addWidget(m_table, 1);

    connect(&m_selection, &QItemSelectionModel::currentChanged, this, [this] { scheduleRead(); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { scheduleRead(); });
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] { scheduleRead(); });
}

void HistoryTab::setStore(HistoryStore* store)
{
    m_store = store;
    scheduleRead();
}

void HistoryTab::historyChanged()
{
    scheduleRead();
}

void HistoryTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    scheduleRead();
}

void HistoryTab::scheduleRead()
{
    // Many reasons to read often come at once (a check's commit, a focus move): one read serves them.
    if (m_readPending || !isVisible())
        return;
    m_readPending = true;
    QTimer::singleShot(0, this, [this] {
        m_readPending = false;
        read();
    });
}

void HistoryTab::read()
{
    if (!isVisible())
        return;
    m_table->clear();
    const LinkRecord link = m_model.recordAt(m_selection.currentIndex().row());
    if (!m_store || !m_store->isReadable()) {
        m_summary->setText(QStringLiteral("No check history is kept."));
        m_strip->setChecks({});
        return;
    }
    if (!link) {
        m_summary->setText(QStringLiteral("No inbound link is focused."));
        m_strip->setChecks({});
        return;
    }
    // Bounded: the newest checks of one link, found through the history's index.
    const LinkKey key{link->SiteId, link->PageUrl};
    const std::vector<HistoryEntry> entries = m_store->history(key, ShownChecks);
    const HistorySummary summary = m_store->summary(key);

    QStringList parts;
    if (summary.checkCount == 0)
        parts << QStringLiteral("Not checked yet.");
    if (summary.foundSince != 0)
        parts << QStringLiteral("Found since %1").arg(HistoryTimeText(summary.foundSince));
    if (summary.lostSince != 0)
        parts << QStringLiteral("Lost since %1").arg(HistoryTimeText(summary.lostSince));
    if (summary.firstChecked != 0)
        parts << QStringLiteral("First checked %1").arg(HistoryTimeText(summary.firstChecked));
    if (summary.checkCount > 0)
        parts << (summary.checkCount > ShownChecks
                      ? QStringLiteral("%1 checks, the newest %2 shown").arg(summary.checkCount).arg(ShownChecks)
                      : QStringLiteral("%1 check(s)").arg(summary.checkCount));
    m_summary->setText(parts.join(QStringLiteral("   ")));

    std::vector<LinkStatus> verdicts;
    verdicts.reserve(entries.size());
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(entries.size()));
    for (const HistoryEntry& entry : entries) {
        const CheckDetails& details = entry.check.details;
        verdicts.push_back(entry.check.verdict);
        auto* row = new QTreeWidgetItem;
        row->setText(0, HistoryTimeText(entry.check.at));
        row->setText(1,
                     VerdictName(entry.check.verdict) +
                         (entry.check.confirmation ? QStringLiteral(" (second fetch)") : QString()));
        row->setForeground(1, VerdictColour(entry.check.verdict));
        row->setText(2, QString::fromUtf8(HttpCellText(details)));
        row->setText(3, QString::fromUtf8(LinkKindName(details.linkKind())));
        row->setText(4, QString::fromUtf8(details.anchorText()));
        row->setText(5, ChangeText(entry.changes));
        if (!details.reason().isEmpty())
            row->setToolTip(2, details.reason());
        rows.append(row);
    }
    m_table->addTopLevelItems(rows);
    m_strip->setChecks(std::move(verdicts));
}
