#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_set>

class HistoryStore;
class HttpClient;
class LinkList;
class QEvent;
class QObject;

// What the UI thread and the check workers share, held by shared_ptr: a worker that outlives the
// shut-down keeps it alive, so nothing it touches is ever freed under it.
//
// The UI side (the links list, RunningChecks, the status bar refresh) is used on the UI thread
// only. Workers reach it only through callOver(), which hands a routine to the UI thread's event
// loop and waits. Once shutDown() has run, call-overs return at once without running anything, so
// a worker never waits on a UI thread that has stopped listening.
class CheckChannel {
public:
    // Created on the UI thread; its event loop runs the call-overs.
    CheckChannel(LinkList& links, std::function<void()> refreshStatusBar);
    ~CheckChannel();
    CheckChannel(const CheckChannel&) = delete;
    CheckChannel& operator=(const CheckChannel&) = delete;

    // UI thread only.
    LinkList& links() { return m_links; }
    void RefreshStatusBar();
    int RunningChecks() const { return m_runningChecks; }
    void countIn() { ++m_runningChecks; }
    void countOut() { --m_runningChecks; }
    // Whether checks analyse the pages they fetch for links (the details); workers read it when
    // they are created.
    bool analysePages() const { return m_analysePages; }
    void setAnalysePages(bool analyse) { m_analysePages = analyse; }
    // Where finished checks are recorded; null for none. The store must outlive the checks that
    // report to it, or be set to null first.
    HistoryStore* history() const { return m_history; }
    void setHistory(HistoryStore* store) { m_history = store; }

    // Worker threads only: runs `task` on the UI thread the next time that thread processes its
    // events, and waits until it has run. False, with `task` not run, once shut-down has begun.
    bool callOver(const std::function<void()>& task);

    // Worker threads: waits `ms` milliseconds, unless endPauses() or shut-down comes first. True
    // when the whole pause passed.
    bool pause(int ms);
    // Any thread: ends every pause now running.
    void endPauses();

    // A worker's fetch, registered so that shut-down can cancel it. attachClient() aborts the client
    // and returns false when shut-down has already begun.
    bool attachClient(HttpClient* client);
    void detachClient(HttpClient* client);

    // Worker threads alive, from just before a thread is created until its last step.
    void threadStarting();
    void threadEnded();

    // UI thread. Call-overs stop (pending ones return unrun), fetches in flight are aborted (in
    // whatever wait they are: look-up, connect, read, the host's turn), and it waits at most
    // `graceMs` for the worker threads to end. True when they all did. Later calls do nothing and
    // return false.
    bool shutDown(int graceMs);
    bool isShutDown() const;

private:
    class Receiver;
    struct Request;
    friend class Receiver;

    bool runPending(QEvent* event);

    LinkList& m_links;
    std::function<void()> m_refreshStatusBar;
    int m_runningChecks = 0;
    bool m_analysePages = true;
    HistoryStore* m_history = nullptr;

    mutable std::mutex m_mutex;
    bool m_shutDown = false;
    bool m_wakePosted = false;
    std::deque<Request*> m_queue;
    QObject* m_receiver = nullptr;  // lives on the UI thread; deleted by shutDown()
    std::unordered_set<HttpClient*> m_clients;
    int m_liveThreads = 0;
    std::condition_variable m_threadsEnded;
    std::condition_variable m_pauseEnded;
    unsigned m_pauseGeneration = 0;
};
