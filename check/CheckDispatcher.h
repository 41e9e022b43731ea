#pragma once

#include "model/Records.h"

#include <QString>

#include <functional>
#include <memory>

class CheckChannel;
class CheckPool;
class CheckRecorder;
class LinkList;
class SettingsFile;
class WebsiteTree;

// The check commands: walks the shown or the selected inbound links in display order and starts
// one worker per link, never more at once than "Common"/"ThreadCount".
//
// Everything here runs on the UI thread. While a walk waits for a free slot it runs the event loop,
// so the window stays usable: that is where the workers' results arrive, and where the user may
// press Stop, change the filter, sort, delete rows or start another check command, which then runs
// to its end inside the first one's wait.
class CheckDispatcher {
public:
    enum class Outcome {
        Started,   // a worker now checks the row
        Skipped,   // the row was being checked already
        RowGone,   // the row was removed during the wait
        Stopped,   // Stop was pressed during the wait
        ShutDown,  // shut-down began during the wait
    };

    // Needs a QCoreApplication; the three objects must outlive the dispatcher.
    CheckDispatcher(LinkList& links, const WebsiteTree& websites, const SettingsFile& settings);
    // Shuts down if that has not happened yet.
    ~CheckDispatcher();
    CheckDispatcher(const CheckDispatcher&) = delete;
    CheckDispatcher& operator=(const CheckDispatcher&) = delete;

    // Rewrites the status bar counts; called whenever a check changes a row.
    void setRefreshStatusBar(std::function<void()> refresh) { m_refreshStatusBar = std::move(refresh); }
    // Shows a text in an information box (title "Information", one OK button).
    void setShowInformation(std::function<void(const QString&)> show) { m_showInformation = std::move(show); }

    // Whether checks started from now on analyse the pages for links; on by default. Off, a check's
    // details tell only how the fetch went.
    void setAnalysePages(bool analyse);
    // Where finished checks are recorded (see CheckChannel::setRecorder).
    void setRecorder(CheckRecorder* recorder);

    // "Check": every visible row. Throws AppError when a worker cannot be created.
    void StartAll();
    // "Check Selected": every selected row, hidden ones included. Throws as StartAll.
    void StartSelected();
    // "Stop": every walk running now ends before its next row, and a walk that waits for a free slot
    // starts nothing more; running checks go on, but one that waits to fetch a lost link again
    // reports what it has at once.
    void ToolButton1Click();
    // Waits for a free slot, then starts a worker for the row unless it is being checked already or
    // Stop came during the wait.
    Outcome DispatchCheck(const LinkRecord& row);
    // Shows "Please Select a inbound link" when no row is selected, hidden rows counting; the
    // caller goes on either way. True when a row is selected.
    bool RequireSelection();
    void RefreshStatusBar();

    // Runs the event loop until no check runs (or shut-down has begun).
    void WaitUntilIdle();

    // For the window's close and the end of the headless command: ends every walk, makes the
    // workers' later call-overs change nothing, cancels the fetches in flight and waits a moment
    // for the worker threads; a thread still blocked after that is left behind, harmlessly. Call
    // it once the data is saved: results that arrive later are dropped. True when every worker
    // thread ended within the wait.
    bool shutdown();
    bool isShutDown() const;

    int RunningChecks() const;
    bool StopRequested() const { return m_stopRequested; }
    // For tests: the threads the checks run on.
    const CheckPool& pool() const;

private:
    enum class Walk { Visible, Selected };
    void walk(Walk kind);
    LinkRecord first(Walk kind) const;
    LinkRecord after(Walk kind, const rMonitorInfo& row) const;
    bool holds(Walk kind, const rMonitorInfo& row) const;
    LinkRecord resumeAfterRemoved(Walk kind, const LinkRecord& successor, int position) const;
    int threadLimit() const;

    LinkList& m_links;
    const WebsiteTree& m_websites;
    const SettingsFile& m_settings;
    std::shared_ptr<CheckChannel> m_channel;
    std::function<void()> m_refreshStatusBar;
    std::function<void(const QString&)> m_showInformation;
    bool m_stopRequested = false;
};
