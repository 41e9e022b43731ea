// The main window's status bar: the counts of the links shown, and the note of a failing save.
#include "app/FramePacer.h"
#include "app/LinksPane.h"
#include "app/UnitMain.h"
#include "model/LinkList.h"

#include <QLabel>
#include <QStatusBar>

#include <array>

void TfrmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    static constexpr int Widths[StatusPanelCount] = {100, 100, 100, 140, 120, 50};
    for (int width : Widths) {
        auto* panel = new QLabel(bar);
        // The designed width, or more when the desktop's font needs it for the count.
        panel->setMinimumWidth(width);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        bar->addWidget(panel);
        m_statusPanels.push_back(panel);
    }
    // Shown only while the links cannot be written, so that a failing disk is never a surprise at the close.
    m_saveNote = new QLabel(bar);
    m_saveNote->setObjectName(QStringLiteral("SaveNote"));
    m_saveNote->setTextFormat(Qt::PlainText);
    m_saveNote->setStyleSheet(QStringLiteral("QLabel { color: #b3261e; font-weight: bold; }"));
    m_saveNote->hide();
    bar->addPermanentWidget(m_saveNote);
    // The checks' counts catch up with the list's frames.
    m_statusBarStep = m_linksPane->pacer().addStep([this] { RefreshStatusBar(); });
}

void TfrmMain::RefreshStatusBar()
{
    const std::array<QString, 4> texts = m_links->StatusBarTexts();
    for (std::size_t panel = 0; panel < texts.size(); ++panel)
        m_statusPanels[panel]->setText(texts[panel]);
}
