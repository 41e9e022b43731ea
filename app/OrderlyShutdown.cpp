#include "app/OrderlyShutdown.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> HandledSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe, shared with the handler: [0] is read on the UI thread, [1] written by the handler.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[HandledSignals.size()];

extern "C" void OnSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a close request; one more changes nothing.
    (void)!::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

OrderlyShutdown::OrderlyShutdown(std::function<void()> close, QObject* parent)
    : QObject(parent), m_close(std::move(close))
{
    Q_ASSERT(g_pipe[0] < 0);
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // the signals keep their default action: the program ends without saving
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &OrderlyShutdown::readSignals);

    for (std::size_t i = 0; i < HandledSignals.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(HandledSignals[i], &action, &g_previous[i]);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Direct: the session manager expects the data saved when the request returns.
        connect(app, &QGuiApplication::commitDataRequest, this, &OrderlyShutdown::commitData, Qt::DirectConnection);
    }
}

OrderlyShutdown::~OrderlyShutdown()
{
    if (g_pipe[0] < 0)
        return;
    for (std::size_t i = 0; i < HandledSignals.size(); ++i)
        ::sigaction(HandledSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void OrderlyShutdown::readSignals()
{
    unsigned char bytes[64];
    ssize_t n = 0;
    int last = 0;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        last = bytes[n - 1];
    if (last == 0)
        return;
    m_lastSignal = last;
    closeNow();
}

void OrderlyShutdown::commitData(QSessionManager& /*manager*/)
{
    // Nothing here waits for an answer: at a logout nobody is there to give one.
    closeNow();
}

void OrderlyShutdown::closeNow()
{
    if (m_close)
        m_close();
}
