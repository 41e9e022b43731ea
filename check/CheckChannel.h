#pragma once

#include "check/CheckPool.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

class CheckRecorder;
class HttpClient;
class LinkList;
class QEvent;
class QObject;

// What the UI thread and the checks share, held by shared_ptr: a check that outlives the shut-down
// keeps it alive, so nothing it touches is ever freed under it.
//
// The UI side (the links list, RunningChecks, the status bar refresh) is used on the UI thread
// only. Checks reach it only through call-overs: post() hands a routine to the UI thread's event
// loop, which runs the routines in the order they came, each at most once. A check does not wait
// for them; it hands over what it has and goes on. Once shutDown() has run, nothing handed over runs
// any more, so no routine ever meets a UI thread that has stopped listening.
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
    // Runs a check on a thread of the pool (see CheckPool::Task). Throws std::system_error when no
    // thread can take it.
    void startCheck(CheckPool::Task check);
    // Whether checks analyse the pages they fetch for links (the details); workers read it when
    // they are created.
    bool analysePages() const { return m_analysePages; }
    void setAnalysePages(bool analyse) { m_analysePages = analyse; }
    // Where finished checks are recorded; null for none. It must outlive the checks that report to
    // it, or be set to null first.
    CheckRecorder* recorder() const { return m_recorder; }
    void setRecorder(CheckRecorder* recorder) { m_recorder = recorder; }

    // Any thread: runs `routine` on the UI thread the next time that thread processes its events,
    // after every routine handed over before it. False, with `routine` dropped, once shut-down has
    // begun.
    bool post(std::function<void()> routine);

    // A check's fetch, registered so that shut-down can cancel it. attachClient() aborts the client
    // and returns false when shut-down has already begun.
    bool attachClient(HttpClient* client);
    void detachClient(HttpClient* client);

    // For a check that waits before it goes on: waits `time`, or less when endPauses() or shut-down
    // comes first. True when the whole pause passed. With `since` (what pausesEnded() gave when the
    // check began), a check that endPauses() came for before its pause does not wait at all.
    bool pause(std::chrono::milliseconds time);
    bool pause(std::chrono::milliseconds time, unsigned since);
    // Any thread: ends every pause now running, and those of the checks begun before it.
    void endPauses();
    // Any thread: a count that endPauses() moves on.
    unsigned pausesEnded() const;

    // UI thread. Call-overs stop (those pending are dropped), fetches in flight are aborted (in
    // whatever wait they are: look-up, connect, read, the host's turn), pauses end, and it waits at
    // most `graceMs` for the check threads to end. True when they all did. Later calls do nothing
    // and return false.
    bool shutDown(int graceMs);
    bool isShutDown() const;

    // For tests: the threads the checks run on.
    const CheckPool& pool() const { return m_pool; }

private:
    class Receiver;
    friend class Receiver;

    bool runPending(QEvent* event);

    LinkList& m_links;
    std::function<void()> m_refreshStatusBar;
    int m_runningChecks = 0;
    CheckPool m_pool;
    bool m_analysePages = true;
    CheckRecorder* m_recorder = nullptr;

    mutable std::mutex m_mutex;
    bool m_shutDown = false;
    bool m_wakePosted = false;
    std::condition_variable m_shutDownBegun;
    std::vector<std::function<void()>> m_queue;
    QObject* m_receiver = nullptr;  // lives on the UI thread; deleted by shutDown()
    std::unordered_set<HttpClient*> m_clients;
    unsigned m_pauseGeneration = 0;
};
