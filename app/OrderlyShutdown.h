#pragma once

#include <QObject>

#include <functional>

class QSessionManager;
class QSocketNotifier;

// Turns the ways a desktop ends a program from outside into the window's ordinary close, with its
// saves: SIGTERM (a logout, `kill`, a service manager), SIGINT (Ctrl+C in the terminal that started
// it), SIGHUP (that terminal closing) and the session manager's request to save before a logout.
//
// A signal handler may do almost nothing safely, so it only writes the signal's number into a pipe;
// the notifier on the pipe's other end brings it to the UI thread, where `close` runs.
// One instance at a time; the previous handlers come back when it goes.
class OrderlyShutdown : public QObject {
    Q_OBJECT

public:
    explicit OrderlyShutdown(std::function<void()> close, QObject* parent = nullptr);
    ~OrderlyShutdown() override;
    OrderlyShutdown(const OrderlyShutdown&) = delete;
    OrderlyShutdown& operator=(const OrderlyShutdown&) = delete;

    // The session is ending: the same close as for a signal. Never asks the user anything.
    void commitData(QSessionManager& manager);
    // What a caught signal leads to, on the UI thread.
    void closeNow();

    // The number of the last signal that asked for the close, 0 when none did.
    int lastSignal() const { return m_lastSignal; }

private:
    void readSignals();

    std::function<void()> m_close;
    QSocketNotifier* m_notifier = nullptr;
    int m_lastSignal = 0;
};
