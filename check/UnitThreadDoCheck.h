#pragma once

#include "check/PageMatch.h"
#include "model/CheckDetails.h"
#include "model/Records.h"
#include "model/SettingsFile.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class CheckChannel;

// One check of one inbound link, on a thread of its own that frees the worker when it ends.
//
// Start() runs on the UI thread: it counts the worker in (RunningChecks + 1) and only then starts the
// thread. The worker copies PageUrl and SiteUrl there and keeps its record alive; everything it
// does to the record, the list and the counter afterwards it does through call-overs, which change
// nothing once the record's row is gone (the record is detached) or shut-down has begun.
class ThreadDoCheck {
public:
    // Throws AppError "Thread creation error: %s", with RunningChecks as it was.
    static const ThreadDoCheck* Start(std::shared_ptr<CheckChannel> channel, LinkRecord record,
                                      const SettingsFile& settings);

    ThreadDoCheck(const ThreadDoCheck&) = delete;
    ThreadDoCheck& operator=(const ThreadDoCheck&) = delete;

private:
    ThreadDoCheck(std::shared_ptr<CheckChannel> channel, LinkRecord record, const SettingsFile& settings);
    // On the worker thread: the last call-over, which lowers RunningChecks.
    ~ThreadDoCheck();

    void Execute();
    LinkStatus Fetch();
    // Call-overs, run on the UI thread.
    void ShowChecking();
    void ShowResult();
    void Finish();
    bool rowPresent() const;

    std::shared_ptr<CheckChannel> m_channel;
    LinkRecord MonitorInfo;
    const QByteArray m_pageUrl;
    const QByteArray m_siteUrl;
    const SettingsFile m_settings;
    const bool m_analyse;
    LinkStatus CheckResult = lsUnchecked;
    // What the check found out beside the verdict; handed to the record with it.
    CheckDetails m_details;
    bool m_running = false;
};
