#include "app/SidePanel.h"

#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

SidePanel::SidePanel(const QString& caption, QWidget* parent)
    : QFrame(parent), m_layout(new QVBoxLayout(this)), m_caption(new QLabel(caption, this))
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_layout->setContentsMargins(1, 1, 1, 1);
    m_layout->setSpacing(0);

    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setFixedHeight(21);
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Button);
    m_caption->setMinimumWidth(0);
    m_layout->addWidget(m_caption);
}

void SidePanel::setToolBar(QToolBar* toolBar)
{
    m_layout->insertWidget(1, toolBar);
}

void SidePanel::addBar(QWidget* bar)
{
    const int view = m_view ? m_layout->indexOf(m_view) : -1;
    m_layout->insertWidget(view, bar);
}

void SidePanel::setView(QWidget* view)
{
    m_view = view;
    m_layout->addWidget(view, 1);
}
