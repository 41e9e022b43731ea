#include "app/SideSplitter.h"

#include <QResizeEvent>
#include <QToolButton>

SideSplitter::SideSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent)
{
    setHandleWidth(HandleWidth);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
    connect(this, &QSplitter::splitterMoved, this, [this] { onMoved(); });
}

void SideSplitter::setSideWidth(int width)
{
    widget(0)->setMinimumWidth(1);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    setSizes({width, std::max(1, this->width() - width - HandleWidth)});
}

void SideSplitter::toggleSide()
{
    QList<int> widths = sizes();
    const int total = widths.value(0) + widths.value(1);
    if (!m_collapsed) {
        m_widthBeforeCollapse = widths.value(0);
        m_collapsed = true;
        setCollapsible(0, true);
        setSizes({0, total});
    } else {
        m_collapsed = false;
        setCollapsible(0, false);
        const int width = std::clamp(m_widthBeforeCollapse, 1, std::max(1, total - 1));
        setSizes({width, total - width});
    }
    if (auto* h = qobject_cast<SideSplitterHandle*>(handle(1)))
        h->updateArrow(m_collapsed);
}

void SideSplitter::setHandleCursor(const QCursor& cursor)
{
    handle(1)->setCursor(cursor);
}

QSplitterHandle* SideSplitter::createHandle()
{
    return new SideSplitterHandle(this);
}

void SideSplitter::onMoved()
{
    // Dragging the handle out of the collapsed state reopens the side.
    if (m_collapsed && sizes().value(0) > 0) {
        m_collapsed = false;
        setCollapsible(0, false);
        if (auto* h = qobject_cast<SideSplitterHandle*>(handle(1)))
            h->updateArrow(false);
    }
}

SideSplitterHandle::SideSplitterHandle(SideSplitter* splitter)
    : QSplitterHandle(Qt::Horizontal, splitter), m_button(new QToolButton(this))
{
    m_button->setObjectName(QStringLiteral("SplitterButton"));
    m_button->setAutoRaise(true);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setToolTip(QString());
    updateArrow(false);
    connect(m_button, &QToolButton::clicked, splitter, [splitter] { splitter->toggleSide(); });
}

void SideSplitterHandle::updateArrow(bool collapsed)
{
    m_button->setArrowType(collapsed ? Qt::RightArrow : Qt::LeftArrow);
}

void SideSplitterHandle::resizeEvent(QResizeEvent* event)
{
    QSplitterHandle::resizeEvent(event);
    const int length = height() * 3 / 10;
    m_button->setGeometry(0, (height() - length) / 2, width(), length);
    m_button->setIconSize(QSize(width() - 2, width() - 2));
}
