#pragma once

#include "model/CheckHistory.h"
#include "model/HistoryStore.h"
#include "model/LinkListObserver.h"
#include "model/Records.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class LinkList;

// The check history during one run of quorvane-check. Before checking it reads the latest recorded
// check of every link and gives it back to the links, as the window does at start-up, so that a link
// found before whose fetch fails has its loss confirmed. The checks then record their fetches through
// it (as the links' CheckRecorder), and, watching the links list, it works out what changed at each
// link's check since the one before.
//
// Everything but the store's own writer, and its closing after finish(), runs on the thread that
// owns the list.
class HistoryRun : public LinkListObserver, public CheckRecorder {
public:
    using ProblemHandler = std::function<void(const QString& text)>;

    // Opens the history at `path` when `record` is set; without it, only reads a history that is
    // there already (to tell what changed), and records nothing. A store that cannot be opened,
    // read or written is told to `onProblem` once, and the run goes on without it.
    HistoryRun(const QString& path, bool record, ProblemHandler onProblem, HistoryOptions options = {});
    ~HistoryRun() override;
    HistoryRun(const HistoryRun&) = delete;
    HistoryRun& operator=(const HistoryRun&) = delete;

    // Gives each link the verdict and details of its latest recorded check, by the window's restore
    // rule, and forgets the history of links deleted before the ones that now have their keys were
    // made. Before watch(): the links' own verdicts are not what this run changed.
    void restore(LinkList& links);
    // Starts watching the list, which must outlive the run or be unwatched first.
    void watch(LinkList& links);
    void unwatch();
    // Waits until every check recorded so far is on disk (or dropped, after a problem).
    void flush();
    // Ends the recording: the history commits what was recorded and closes its file on a thread of
    // its own, beside what the run still has to do (the report, the notification): after a long run
    // the last commit, and the copy of the write-ahead log into the file that closing makes, take a
    // while. The destructor waits for it; changesOf() and lost() still answer.
    void finish();

    // What changed at the link's check in this run; 0 when it was not checked, had no earlier
    // check, or nothing changed.
    HistoryChanges changesOf(const rMonitorInfo& link) const;
    // The links found at their previous check and not found or failing now, in the order their
    // checks finished.
    const std::vector<LinkRecord>& lost() const { return m_lost; }
    // How many links have had their check in this run.
    int checkedCount() const { return int(m_seen.size()); }

    void rowChanged(int visibleRow) override;
    void recordCheck(const LinkKey& key, const RecordedCheck& check) override;

private:
    void reportOnce(const QString& text);

    ProblemHandler m_onProblem;
    std::atomic<bool> m_reported{false};
    std::unique_ptr<HistoryStore> m_store;
    bool m_record = false;
    LatestChecks m_previous;
    QSet<LinkKey> m_forgotten;  // the histories of earlier links with a key, forgotten at the start
    LinkList* m_links = nullptr;
    // Per row of this run: the time of the check last taken in, so that a row announced twice for
    // one check is taken in once.
    QHash<const rMonitorInfo*, double> m_seen;
    QHash<const rMonitorInfo*, HistoryChanges> m_changes;
    std::vector<LinkRecord> m_lost;
    std::thread m_closing;
};

// The check of a link as the history keeps it: its verdict, LastCheck and what the check found out.
RecordedCheck CheckOfLink(const rMonitorInfo& link);
