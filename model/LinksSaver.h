#pragma once

#include "model/DateTimeCodec.h"
#include "model/Records.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class LinkList;

// The stored fields of every link, in list order, taken on the UI thread so that another thread may
// format them while the records go on changing. The texts are copied into one buffer: sharing each
// text instead would touch a shared count per text, which costs more than the copying.
class LinksSnapshot {
public:
    LinksSnapshot() = default;
    explicit LinksSnapshot(const LinkList& links) { take(links); }
    void take(const LinkList& links);
    // Items.txt's bytes, exactly as SaveLinks writes them.
    QByteArray fileText(const DateTimeCodec& dates) const;
    std::size_t size() const { return m_rows.size(); }

private:
    struct Row {
        std::int32_t siteId;
        double created;
        double lastCheck;
        qsizetype ends[4];  // where PageUrl, FirstName, LastName and Email end in m_texts
    };
    QByteArray m_texts;
    std::vector<Row> m_rows;
};

// Keeps Items.txt close behind the links list, so that work survives a crash or a kill and other
// programs reading the file see it. Callers say what changed:
//  - an edit (a link added, changed, deleted or imported) is written within changeMs;
//  - a check result or a new order is written at most every checkMs while checks run, and within
//    changeMs once they have stopped.
// The rows are copied on the UI thread; formatting and writing happen on a thread of their own,
// one write at a time, each replacing the file whole (see FileReplacer): a reader never sees a
// half-written file. A failed write is announced through saveFailed() and tried again later; the
// data stays in memory.
//
// Everything here is called on the UI thread.
class LinksSaver : public QObject {
    Q_OBJECT

public:
    enum class Change { Edit, CheckResult, Order };
    struct Delays {
        int changeMs = 1000;
        int checkMs = 30000;
    };

    LinksSaver(const LinkList& links, QString appDir, LocaleFormats formats, QObject* parent = nullptr);
    // Waits for a write in flight; pending changes are not written (the close writes them).
    ~LinksSaver() override;
    LinksSaver(const LinksSaver&) = delete;
    LinksSaver& operator=(const LinksSaver&) = delete;

    void setDelays(Delays delays) { m_delays = delays; }
    // Tells whether checks are still running; check results wait for them, up to checkMs.
    void setChecksRunning(std::function<bool()> running) { m_checksRunning = std::move(running); }
    void setAppDir(const QString& appDir);
    QString path() const;

    void noteChange(Change change);

    // Writes the whole list now, on this thread, once a write in flight has ended. Throws
    // CannotCreateFile; the changes then stay pending.
    void saveNow();
    // saveNow(), but only when something is pending or the file is missing.
    void flush();
    // Waits for a write in flight to end; what is pending stays pending.
    void waitForWrite();
    // The list and the file agree (the list was just loaded from it): nothing is pending, and a
    // failure announced before is over.
    void discardPending();

    bool pending() const { return m_pending; }
    bool writing() const { return m_thread.joinable(); }
    // The text of the last failed write, empty once a write has succeeded.
    const QString& failure() const { return m_failure; }

Q_SIGNALS:
    void saveFailed(const QString& text);
    // After a write that followed a failure: the file is up to date again.
    void saveRecovered();

private:
    void arm(int ms);
    void tick();
    void startWrite();
    // Queued by the writing thread when it is done. Called by name, with nothing the thread made:
    // the generation it wrote comes under the mutex, where the race detector sees it handed over.
    Q_INVOKABLE void writeEnded();
    void finishWrite();
    void recordOutcome(const QString& error);
    bool checksRunning() const { return m_checksRunning && m_checksRunning(); }

    const LinkList& m_links;
    QString m_appDir;
    const LocaleFormats m_formats;
    // Made here, on the UI thread, and only read by the writing thread: making it reads the
    // locale's formats through the C library's time functions, which are not to be raced.
    const DateTimeCodec m_dates;
    Delays m_delays;
    std::function<bool()> m_checksRunning;

    QTimer m_timer;
    QElapsedTimer m_sinceWrite;  // since the last write began
    bool m_pending = false;
    bool m_edited = false;  // an edit is among the pending changes
    QString m_failure;

    std::thread m_thread;
    quint64 m_generation = 0;
    std::mutex m_endedMutex;
    quint64 m_endedGeneration = 0;  // the last write the thread finished; under m_endedMutex
    // Written by the thread, read once it has been joined.
    QString m_threadError;
    LinksSnapshot m_snapshot;  // the thread's alone while it runs
};
