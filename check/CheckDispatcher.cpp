#include "check/CheckDispatcher.h"

#include "check/CheckChannel.h"
#include "check/UnitThreadDoCheck.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

namespace {

// How long shut-down waits for aborted checks to wind down before the program goes on to exit.
constexpr int ShutdownGraceMs = 250;

}  // namespace

CheckDispatcher::CheckDispatcher(LinkList& links, const WebsiteTree& websites, const SettingsFile& settings)
    : m_links(links),
      m_websites(websites),
      m_settings(settings),
      m_channel(std::make_shared<CheckChannel>(links, [this] { RefreshStatusBar(); }))
{
}

CheckDispatcher::~CheckDispatcher()
{
    shutdown();
}

int CheckDispatcher::RunningChecks() const
{
    return m_channel->RunningChecks();
}

const CheckPool& CheckDispatcher::pool() const
{
    return m_channel->pool();
}

bool CheckDispatcher::isShutDown() const
{
    return m_channel->isShutDown();
}

void CheckDispatcher::RefreshStatusBar()
{
    if (m_refreshStatusBar)
        m_refreshStatusBar();
}

bool CheckDispatcher::RequireSelection()
{
    if (m_links.selectedCount() > 0)
        return true;
    if (m_showInformation)
        m_showInformation(QStringLiteral("Please Select a inbound link"));
    return false;
}

void CheckDispatcher::setAnalysePages(bool analyse)
{
    m_channel->setAnalysePages(analyse);
}

void CheckDispatcher::setRecorder(CheckRecorder* recorder)
{
    m_channel->setRecorder(recorder);
}

void CheckDispatcher::ToolButton1Click()
{
    m_stopRequested = true;
    m_channel->endPauses();
}

void CheckDispatcher::StartAll()
{
    walk(Walk::Visible);
}

void CheckDispatcher::StartSelected()
{
    RequireSelection();
    walk(Walk::Selected);
}

int CheckDispatcher::threadLimit() const
{
    // Only a hand-edited file holds a count below 1; with it the wait would never end.
    return std::max(1, m_settings.read(Keys::ThreadCount));
}

CheckDispatcher::Outcome CheckDispatcher::DispatchCheck(const LinkRecord& row)
{
    QCoreApplication::processEvents();
    // Every pass re-reads the limit, so a count saved meanwhile applies at once. Each pass sleeps
    // until the next event: a finished check always brings one, its last call-over.
    while (!isShutDown() && RunningChecks() >= threadLimit())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (isShutDown())
        return Outcome::ShutDown;
    // A Stop pressed while the walk waited is what the user wants from now on: no check starts
    // after it, the one waited for included.
    if (m_stopRequested)
        return Outcome::Stopped;
    if (!row || !row->Attached || !m_links.contains(*row))
        return Outcome::RowGone;
    // A worker that has not yet marked its row lsChecking still counts as checking it.
    if (row->Status == lsChecking || row->Worker)
        return Outcome::Skipped;
    row->SiteUrl = m_websites.SiteUrlOf(row->SiteId);
    row->Worker = ThreadDoCheck::Start(m_channel, row, m_settings);
    return Outcome::Started;
}

LinkRecord CheckDispatcher::first(Walk kind) const
{
    return kind == Walk::Visible ? m_links.firstVisible() : m_links.firstSelected();
}

LinkRecord CheckDispatcher::after(Walk kind, const rMonitorInfo& row) const
{
    return kind == Walk::Visible ? m_links.nextVisibleAfter(row) : m_links.nextSelectedAfter(row);
}

bool CheckDispatcher::holds(Walk kind, const rMonitorInfo& row) const
{
    return kind == Walk::Visible ? m_links.isVisible(row) : m_links.isSelected(row);
}

void CheckDispatcher::walk(Walk kind)
{
    LinkRecord row = first(kind);
    m_stopRequested = false;
    while (row && !m_stopRequested) {
        // Where the walk would go on if the row were deleted during its wait.
        const LinkRecord successor = after(kind, *row);
        const int position = m_links.rowOf(*row);
        const Outcome outcome = DispatchCheck(row);
        if (outcome == Outcome::ShutDown || outcome == Outcome::Stopped)
            return;
        if (outcome == Outcome::RowGone)
            row = resumeAfterRemoved(kind, successor, position);
        else if (kind == Walk::Visible && !m_links.isVisible(*row))
            row = first(kind);  // the filter changed while the walk waited
        else
            row = after(kind, *row);
    }
}

// The row that followed the removed one, when it is still there. When it went too, the first
// row of the walk at or after the removed row's former position.
LinkRecord CheckDispatcher::resumeAfterRemoved(Walk kind, const LinkRecord& successor, int position) const
{
    if (!successor)
        return {};
    if (successor->Attached && m_links.contains(*successor)) {
        if (holds(kind, *successor))
            return successor;
        return kind == Walk::Visible ? first(kind) : after(kind, *successor);
    }
    for (int row = std::max(position, 0); row < m_links.rowCount(); ++row) {
        if (kind == Walk::Visible ? m_links.isVisible(row) : m_links.isSelected(row))
            return m_links.recordHandle(row);
    }
    return {};
}

void CheckDispatcher::WaitUntilIdle()
{
    while (!isShutDown() && RunningChecks() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool CheckDispatcher::shutdown()
{
    m_stopRequested = true;
    m_channel->setRecorder(nullptr);
    return m_channel->shutDown(ShutdownGraceMs);
}
