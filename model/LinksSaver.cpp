#include "model/LinksSaver.h"

#include "model/AppError.h"
#include "model/DataFiles.h"
#include "model/FileReplacer.h"
#include "model/LinkList.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

void LinksSnapshot::take(const LinkList& links)
{
    m_rows.clear();
    m_texts.clear();
    m_rows.reserve(static_cast<std::size_t>(links.rowCount()));
    m_texts.reserve(qsizetype(links.rowCount()) * 96);
    links.forEachRow([this](const rMonitorInfo& link) {
        Row row{link.SiteId, link.Created, link.LastCheck, {}};
        const QByteArray* texts[4] = {&link.PageUrl, &link.FirstName, &link.LastName, &link.Email};
        for (int i = 0; i < 4; ++i) {
            m_texts.append(*texts[i]);
            row.ends[i] = m_texts.size();
        }
        m_rows.push_back(row);
    });
}

QByteArray LinksSnapshot::fileText(const DateTimeCodec& dates) const
{
    QByteArray text;
    text.reserve(m_texts.size() + qsizetype(m_rows.size()) * 64);
    rMonitorInfo link;
    QByteArray* fields[4] = {&link.PageUrl, &link.FirstName, &link.LastName, &link.Email};
    qsizetype begin = 0;
    for (const Row& row : m_rows) {
        link.SiteId = row.siteId;
        link.Created = row.created;
        link.LastCheck = row.lastCheck;
        for (int i = 0; i < 4; ++i) {
            *fields[i] = QByteArray::fromRawData(m_texts.constData() + begin, row.ends[i] - begin);
            begin = row.ends[i];
        }
        text.append(LinkToLine(link, dates));
        text.append("\r\n", 2);
    }
    return text;
}

LinksSaver::LinksSaver(const LinkList& links, QString appDir, LocaleFormats formats, QObject* parent)
    : QObject(parent), m_links(links), m_appDir(std::move(appDir)), m_formats(std::move(formats)), m_dates(m_formats)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LinksSaver::tick);
}

LinksSaver::~LinksSaver()
{
    if (m_thread.joinable())
        m_thread.join();
}

void LinksSaver::setAppDir(const QString& appDir)
{
    if (appDir == m_appDir)
        return;
    waitForWrite();
    m_appDir = appDir;
}

QString LinksSaver::path() const
{
    return m_appDir + QLatin1StringView(LinksFileName);
}

void LinksSaver::noteChange(Change change)
{
    m_pending = true;
    if (change == Change::Edit)
        m_edited = true;
    arm(m_delays.changeMs);
}

void LinksSaver::arm(int ms)
{
    // A later change never puts off a write that is already due.
    if (!m_timer.isActive() || m_timer.remainingTime() > ms)
        m_timer.start(std::max(ms, 0));
}

void LinksSaver::tick()
{
    if (!m_pending || m_thread.joinable())
        return;  // the write in flight looks again when it ends
    const qint64 since = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : std::numeric_limits<qint64>::max();
    // After a failure only an edit, or the longer wait, brings the next try, so that a full disk is
    // not tried every second while checks report.
    const bool idle = !checksRunning() && m_failure.isEmpty();
    if (m_edited || since >= m_delays.checkMs || idle) {
        startWrite();
        return;
    }
    const qint64 wait = std::max<qint64>(m_delays.checkMs - since, 0);
    arm(static_cast<int>(std::min<qint64>(m_delays.changeMs, wait)));
}

void LinksSaver::startWrite()
{
    m_snapshot.take(m_links);
    m_pending = false;
    m_edited = false;
    m_sinceWrite.start();
    const quint64 generation = ++m_generation;
    // The thread alone uses m_snapshot until it has been joined.
    m_thread = std::thread([this, generation, path = path()] {
        QString error;
        try {
            ReplaceFileContents(path, m_snapshot.fileText(m_dates), FilePrivacy::OwnerOnly);
        } catch (const AppError& e) {
            error = e.text();
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
        m_threadError = error;
        {
            const std::lock_guard lock(m_endedMutex);
            m_endedGeneration = generation;
        }
        // Queued to this object: dropped if it is gone, and it cannot be gone before the join.
        QMetaObject::invokeMethod(this, "writeEnded", Qt::QueuedConnection);
    });
}

void LinksSaver::writeEnded()
{
    quint64 generation = 0;
    {
        const std::lock_guard lock(m_endedMutex);
        generation = m_endedGeneration;
    }
    // A write that saveNow() or waitForWrite() already joined has been dealt with.
    if (generation == m_generation && m_thread.joinable())
        finishWrite();
}

void LinksSaver::finishWrite()
{
    m_thread.join();
    m_snapshot = LinksSnapshot();
    recordOutcome(m_threadError);
    if (!m_failure.isEmpty()) {
        // What the failed write held is still to be written: at the next edit, or after a while.
        m_pending = true;
        arm(m_edited ? m_delays.changeMs : m_delays.checkMs);
    } else if (m_pending) {
        arm(m_delays.changeMs);
    }
}

void LinksSaver::recordOutcome(const QString& error)
{
    const bool hadFailed = !m_failure.isEmpty();
    m_failure = error;
    if (!error.isEmpty())
        Q_EMIT saveFailed(error);
    else if (hadFailed)
        Q_EMIT saveRecovered();
}

void LinksSaver::waitForWrite()
{
    if (m_thread.joinable())
        finishWrite();
}

void LinksSaver::saveNow()
{
    waitForWrite();
    m_timer.stop();
    try {
        ReplaceFileContents(path(), LinksFileText(m_links, m_formats), FilePrivacy::OwnerOnly);
    } catch (const AppError& e) {
        m_pending = true;
        recordOutcome(e.text());
        throw;
    }
    m_pending = false;
    m_edited = false;
    m_sinceWrite.start();
    recordOutcome({});
}

void LinksSaver::flush()
{
    waitForWrite();
    if (m_pending || !QFileInfo::exists(path()))
        saveNow();
}

void LinksSaver::discardPending()
{
    waitForWrite();
    m_timer.stop();
    m_pending = false;
    m_edited = false;
    // The file holds the list: whatever failed before no longer matters.
    recordOutcome({});
}
