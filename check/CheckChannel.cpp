#include "check/CheckChannel.h"

#include "check/HttpClient.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <utility>

namespace {

const QEvent::Type CallOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// The UI thread's end of the call-overs. The event carries nothing: the routines wait in the
// channel's own queue, under its own lock, so that one event serves every routine that came
// meanwhile, and a check hands one over with no more than a lock and a push.
class CheckChannel::Receiver : public QObject {
public:
    explicit Receiver(CheckChannel& channel) : m_channel(channel) {}

    bool event(QEvent* event) override { return m_channel.runPending(event) || QObject::event(event); }

private:
    CheckChannel& m_channel;
};

CheckChannel::CheckChannel(LinkList& links, std::function<void()> refreshStatusBar)
    : m_links(links), m_refreshStatusBar(std::move(refreshStatusBar)), m_receiver(new Receiver(*this))
{
}

CheckChannel::~CheckChannel()
{
    // Normally gone already: shutDown() deletes it on the UI thread.
    delete m_receiver;
}

void CheckChannel::RefreshStatusBar()
{
    if (m_refreshStatusBar)
        m_refreshStatusBar();
}

void CheckChannel::startCheck(CheckPool::Task check)
{
    m_pool.start(std::move(check));
}

bool CheckChannel::post(std::function<void()> routine)
{
    const std::lock_guard lock(m_mutex);
    // A refused routine is freed by the caller, outside the lock: what it holds may hold this.
    if (m_shutDown)
        return false;
    m_queue.push_back(std::move(routine));
    if (!m_wakePosted) {
        m_wakePosted = true;
        // Posted under the lock: shutDown() deletes the receiver only after taking it.
        QCoreApplication::postEvent(m_receiver, new QEvent(CallOverEvent));
    }
    return true;
}

bool CheckChannel::runPending(QEvent* event)
{
    // The routines that are here now, and no more: those that come while they run wait for the next
    // turn of the event loop, so that a stream of them never holds the window still. The lock comes
    // first, before the event is even looked at: a check made the event under it, and taking it
    // orders that check's work before what runs here for every reader, the race detector included,
    // which cannot see into Qt's queue.
    std::vector<std::function<void()>> batch;
    {
        const std::lock_guard lock(m_mutex);
        if (event->type() != CallOverEvent)
            return false;
        m_wakePosted = false;
        batch.swap(m_queue);
    }
    for (std::function<void()>& routine : batch) {
        // A routine may shut the channel down (a restore, a close); those after it are dropped.
        if (isShutDown())
            break;
        // Nothing may unwind through the event dispatch.
        try {
            routine();
        } catch (...) {
        }
        routine = nullptr;
    }
    return true;
}

bool CheckChannel::attachClient(HttpClient* client)
{
    const std::lock_guard lock(m_mutex);
    if (m_shutDown) {
        client->abort();
        return false;
    }
    m_clients.insert(client);
    return true;
}

void CheckChannel::detachClient(HttpClient* client)
{
    const std::lock_guard lock(m_mutex);
    m_clients.erase(client);
}

bool CheckChannel::pause(std::chrono::milliseconds time)
{
    return pause(time, pausesEnded());
}

bool CheckChannel::pause(std::chrono::milliseconds time, unsigned since)
{
    std::unique_lock lock(m_mutex);
    return !m_shutDownBegun.wait_for(lock, time, [&] { return m_shutDown || m_pauseGeneration != since; });
}

unsigned CheckChannel::pausesEnded() const
{
    const std::lock_guard lock(m_mutex);
    return m_pauseGeneration;
}

void CheckChannel::endPauses()
{
    {
        const std::lock_guard lock(m_mutex);
        ++m_pauseGeneration;
    }
    m_shutDownBegun.notify_all();
}

bool CheckChannel::shutDown(int graceMs)
{
    std::vector<std::function<void()>> dropped;
    QObject* receiver = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (m_shutDown)
            return false;
        m_shutDown = true;
        dropped.swap(m_queue);
        for (HttpClient* client : m_clients)
            client->abort();
        receiver = std::exchange(m_receiver, nullptr);
    }
    m_shutDownBegun.notify_all();
    dropped.clear();
    delete receiver;
    // Aborted fetches and pauses end at once. A thread that still outlasts this (one the system
    // keeps, say) touches afterwards only what is its own, the pool's or this channel's.
    return m_pool.stop(std::chrono::milliseconds(graceMs));
}

bool CheckChannel::isShutDown() const
{
    const std::lock_guard lock(m_mutex);
    return m_shutDown;
}
