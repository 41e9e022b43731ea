#pragma once

#include "model/CheckHistory.h"
#include "model/Records.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

class HistoryStore;
class LinkList;

// The window's end of the check history (History.db beside the data files): opens it, gives the
// links back their latest recorded verdicts when they load, and forgets the history of links that
// go. A store that cannot be opened or written costs the user one warning, after which the window
// goes on without history; checking, closing and saving never wait for it.
//
// UI thread only, except where the store itself says otherwise.
class WindowHistory : public QObject {
    Q_OBJECT

public:
    // `warn` shows the warning; it runs on the UI thread, at most once for the window's life.
    explicit WindowHistory(std::function<void(const QString&)> warn, QObject* parent = nullptr);
    ~WindowHistory() override;

    // Opens the store of the data folder `appDir` (with a trailing '/'), unless it is open already,
    // and starts reading every link's latest check on a thread of its own.
    void open(const QString& appDir);
    // The store, or null when none could be opened.
    HistoryStore* store() const { return m_store.get(); }

    // Waits for the read that open() started, then gives each record the verdict, details, changes
    // and LastCheck of its latest recorded check, when that check is at or after its stored
    // LastCheck. Records join the list afterwards, so no count or order needs mending.
    void restore(std::vector<LinkRecord>& records);

    // The links of `keys` went (deleted, or edited into another address or website): their history
    // goes too, unless a row of `links` still has the same key.
    void forget(const std::vector<LinkKey>& keys, const LinkList& links);
    // Links just added, imported or given another address or website: what the history holds under
    // their keys belonged to links deleted before, unless another row has the key.
    void forgetEarlierLinks(const std::vector<const rMonitorInfo*>& made, const LinkList& links);

    // The store's file, for a test to look at.
    QString path() const;

Q_SIGNALS:
    // Queued from the store's threads to the UI thread.
    void problemReported(const QString& text);
    // The store committed checks; at most one is waiting at a time.
    void committed();

private:
    void showProblem(const QString& text);

    std::function<void(const QString&)> m_warn;
    std::unique_ptr<HistoryStore> m_store;
    std::future<LatestChecks> m_reading;
    // Frees what the last restore read, off the UI thread.
    std::future<void> m_freeing;
    bool m_warned = false;
    std::atomic<bool> m_commitPosted{false};
};
