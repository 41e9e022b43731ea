#pragma once

#include "check/PageMatch.h"
#include "model/CheckDetails.h"
#include "model/CheckHistory.h"
#include "model/Records.h"
#include "model/SettingsFile.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>
#include <optional>

class CheckChannel;

// One check of one inbound link, run on a thread of the check pool.
//
// A link found before whose fetch now fails is fetched once more after a pause (config.ini's
// "Check" section), so that one passing failure never reports a loss; both fetches are recorded in
// the check history when the verdict arrives, the verdict is the second's. Stop ends the pause, and
// the first verdict stands, recorded once. A check that shut-down cuts short records nothing.
//
// Start() runs on the UI thread: it counts the check in (RunningChecks + 1) and hands it to the pool.
// The check copies PageUrl and SiteUrl there and keeps its record alive; everything it does to the
// record, the list and the counter afterwards it hands to the UI thread as call-overs, in this
// order: ShowChecking before the fetch; then, in one, ShowResult, which stores the verdict, and
// Finish, which lowers RunningChecks last of all. Call-overs change nothing once the record's row
// is gone (the record is detached) or shut-down has begun.
class ThreadDoCheck : public std::enable_shared_from_this<ThreadDoCheck> {
public:
    // Throws AppError "Thread creation error: %s", with RunningChecks as it was.
    static const ThreadDoCheck* Start(std::shared_ptr<CheckChannel> channel, LinkRecord record,
                                      const SettingsFile& settings);

    ThreadDoCheck(std::shared_ptr<CheckChannel> channel, LinkRecord record, const SettingsFile& settings);
    ThreadDoCheck(const ThreadDoCheck&) = delete;
    ThreadDoCheck& operator=(const ThreadDoCheck&) = delete;

private:
    // On the pool thread; gives what to do once the thread is free again.
    std::function<void()> Execute();
    LinkStatus Fetch();
    bool wantsConfirmation() const;
    // Call-overs, run on the UI thread.
    void ShowChecking();
    void ShowResult();
    void Record(const RecordedCheck& check);
    void Finish();
    bool rowPresent() const;

    std::shared_ptr<CheckChannel> m_channel;
    LinkRecord MonitorInfo;  // UI thread only
    const QByteArray m_pageUrl;
    const QByteArray m_siteUrl;
    const SettingsFile m_settings;
    const bool m_analyse;
    const std::int32_t m_siteId;
    // The link's latest check before this one, what this one is compared with.
    const RecordedCheck m_previous;
    // Stop ends the pause of a check begun before it, also one that has not begun pausing yet.
    const unsigned m_pausesEnded;
    // Milliseconds before a lost link is fetched again; negative when it is not. Read on the
    // worker's thread, as the fetch's settings are.
    int m_confirmPauseMs = -1;
    LinkStatus CheckResult = lsUnchecked;
    // What the check found out beside the verdict; handed to the record with it.
    CheckDetails m_details;
    bool m_confirmation = false;  // the verdict is a second fetch's
    // The first fetch of a loss being confirmed, as it came out; UI thread only.
    std::optional<RecordedCheck> m_firstFetch;
};
