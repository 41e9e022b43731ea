#include "check/CheckChannel.h"

#include "check/HttpClient.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <chrono>
#include <utility>

namespace {

const QEvent::Type CallOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

struct CheckChannel::Request {
    const std::function<void()>* task;
    bool finished = false;
    bool ran = false;
    std::condition_variable done;
};

// The UI thread's end of the call-overs. The event carries nothing: the requests wait in the
// channel's own queue, under its own lock, so that one event can serve every request that came
// meanwhile.
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

bool CheckChannel::callOver(const std::function<void()>& task)
{
    Request request{&task};
    std::unique_lock lock(m_mutex);
    if (m_shutDown)
        return false;
    m_queue.push_back(&request);
    if (!m_wakePosted) {
        m_wakePosted = true;
        // Posted under the lock: shutDown() deletes the receiver only after taking it.
        QCoreApplication::postEvent(m_receiver, new QEvent(CallOverEvent));
    }
    request.done.wait(lock, [&] { return request.finished; });
    return request.ran;
}

bool CheckChannel::runPending(QEvent* event)
{
    // A call-over's event is made on the worker's thread and reaches here through Qt's queue; the
    // worker held this lock while it posted, so taking it first orders the two for every reader,
    // the race detector included, which cannot see into Qt.
    std::unique_lock lock(m_mutex);
    if (event->type() != CallOverEvent)
        return false;
    m_wakePosted = false;
    while (!m_shutDown && !m_queue.empty()) {
        Request* request = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        // Nothing may unwind through the event dispatch, and the worker must be let go whatever happens.
        try {
            (*request->task)();
        } catch (...) {
        }
        lock.lock();
        request->ran = true;
        request->finished = true;
        request->done.notify_one();
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

void CheckChannel::threadStarting()
{
    const std::lock_guard lock(m_mutex);
    ++m_liveThreads;
}

void CheckChannel::threadEnded()
{
    const std::lock_guard lock(m_mutex);
    if (--m_liveThreads == 0)
        m_threadsEnded.notify_all();
}

bool CheckChannel::shutDown(int graceMs)
{
    std::unique_lock lock(m_mutex);
    if (m_shutDown)
        return false;
    m_shutDown = true;
    for (Request* request : m_queue) {
        request->finished = true;
        request->done.notify_one();
    }
    m_queue.clear();
    m_pauseEnded.notify_all();
    for (HttpClient* client : m_clients)
        client->abort();
    QObject* receiver = std::exchange(m_receiver, nullptr);
    // Aborted fetches end at once. A thread that still outlasts this (one the system keeps, say)
    // touches afterwards only what is its own or this channel's.
    const bool ended =
        m_threadsEnded.wait_for(lock, std::chrono::milliseconds(graceMs), [this] { return m_liveThreads == 0; });
    lock.unlock();
    delete receiver;
    return ended;
}

bool CheckChannel::pause(int ms)
{
    std::unique_lock lock(m_mutex);
    const unsigned generation = m_pauseGeneration;
    const bool interrupted = m_pauseEnded.wait_for(lock, std::chrono::milliseconds(ms),
                                                   [&] { return m_shutDown || m_pauseGeneration != generation; });
    return !interrupted;
}

void CheckChannel::endPauses()
{
    const std::lock_guard lock(m_mutex);
    ++m_pauseGeneration;
    m_pauseEnded.notify_all();
}

bool CheckChannel::isShutDown() const
{
    const std::lock_guard lock(m_mutex);
    return m_shutDown;
}
