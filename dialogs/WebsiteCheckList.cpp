#include "dialogs/WebsiteCheckList.h"

#include "dialogs/AnsiText.h"
#include "dialogs/GridLineDelegate.h"
#include "model/WebsiteTree.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QStandardItemModel>

namespace {

// An item view's check box drawn as a radio button; everything else as the application style draws it.
class RadioMarkStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_IndicatorItemViewItemCheck) {
            QStyleOptionButton radio;
            static_cast<QStyleOption&>(radio) = *option;
            radio.state &= ~(State_HasFocus | State_NoChange);
            QProxyStyle::drawPrimitive(PE_IndicatorRadioButton, &radio, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

WebsiteCheckList::WebsiteCheckList(Mode mode, const QString& caption, QWidget* parent)
    : QTreeView(parent), m_mode(mode), m_model(new QStandardItemModel(0, 1, this))
{
    m_model->setHorizontalHeaderLabels({caption});
    setModel(m_model);
    setItemDelegate(new GridLineDelegate(this));
    if (mode == Mode::Radio) {
        auto* style = new RadioMarkStyle;
        style->setParent(this);
        setStyle(style);
    }
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(true);
    connect(m_model, &QStandardItemModel::itemChanged, this, &WebsiteCheckList::onItemChanged);
    connect(this, &QAbstractItemView::clicked, this, &WebsiteCheckList::onClicked);
}

void WebsiteCheckList::setWebsites(const WebsiteTree& websites)
{
    m_updating = true;
    m_model->removeRows(0, m_model->rowCount());
    m_sites = websites.children();
    for (const rMySiteInfo& site : m_sites) {
        auto* item = new QStandardItem(FromAnsi(site.Name));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        m_model->appendRow(item);
    }
    m_updating = false;
}

bool WebsiteCheckList::isMarked(int row) const
{
    const QStandardItem* item = m_model->item(row);
    return item && item->checkState() == Qt::Checked;
}

void WebsiteCheckList::setMarked(int row, bool marked)
{
    if (QStandardItem* item = m_model->item(row))
        item->setCheckState(marked || m_mode == Mode::Radio ? Qt::Checked : Qt::Unchecked);
}

int WebsiteCheckList::chosenRow() const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (isMarked(row))
            return row;
    }
    return -1;
}

void WebsiteCheckList::onItemChanged(QStandardItem* item)
{
    if (m_updating)
        return;
    if (m_mode == Mode::Radio) {
        m_updating = true;
        // A radio button is cleared only by choosing another; the one clicked stays chosen.
        item->setCheckState(Qt::Checked);
        for (int row = 0; row < m_model->rowCount(); ++row) {
            if (row != item->row())
                m_model->item(row)->setCheckState(Qt::Unchecked);
        }
        m_updating = false;
    }
    Q_EMIT marksChanged();
}

void WebsiteCheckList::onClicked(const QModelIndex& index)
{
    // A radio row is chosen by a click anywhere on it, as a radio button's label chooses it.
    if (m_mode == Mode::Radio && index.isValid() && !isMarked(index.row()))
        setMarked(index.row(), true);
}
