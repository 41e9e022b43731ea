#include "check/UnitThreadDoCheck.h"

#include "check/CheckChannel.h"
#include "check/ClientSettings.h"
#include "check/FetchDetails.h"
#include "check/HttpClient.h"
#include "model/AppError.h"
#include "model/Clock.h"
#include "model/LinkList.h"

#include <algorithm>
#include <system_error>

const ThreadDoCheck* ThreadDoCheck::Start(std::shared_ptr<CheckChannel> channel, LinkRecord record,
                                          const SettingsFile& settings)
{
    CheckChannel& shared = *channel;
    auto worker = std::make_shared<ThreadDoCheck>(std::move(channel), std::move(record), settings);
    try {
        shared.startCheck([worker] { return worker->Execute(); });
    } catch (const std::system_error& error) {
        shared.countOut();
        worker->MonitorInfo.reset();
        throw AppError(QStringLiteral("Thread creation error: %1").arg(QString::fromLocal8Bit(error.code().message())));
    }
    return worker.get();
}

ThreadDoCheck::ThreadDoCheck(std::shared_ptr<CheckChannel> channel, LinkRecord record, const SettingsFile& settings)
    : m_channel(std::move(channel)),
      MonitorInfo(std::move(record)),
      m_pageUrl(MonitorInfo->PageUrl),
      m_siteUrl(MonitorInfo->SiteUrl),
      m_settings(settings),
      m_analyse(m_channel->analysePages()),
      m_siteId(MonitorInfo->SiteId),
      m_previous{MonitorInfo->LastCheck, MonitorInfo->Status, MonitorInfo->Details.get(), false},
      m_pausesEnded(m_channel->pausesEnded())
{
    m_channel->countIn();
}

std::function<void()> ThreadDoCheck::Execute()
{
    // The call-overs keep the check alive until they have run; none of them is waited for. The UI
    // thread runs them in the order they were handed over, so the row shows lsChecking before its
    // verdict, and the verdict is in before RunningChecks lets the dispatcher start the next check.
    m_channel->post([self = shared_from_this()] { self->ShowChecking(); });
    CheckResult = Fetch();
    if (m_previous.verdict == lsFound && m_settings.read(Keys::ConfirmLosses))
        m_confirmPauseMs = std::clamp(m_settings.read(Keys::ConfirmPause), 0, Keys::MaxConfirmPause) * 1000;
    // The first fetch is kept, with the time it came out, to be recorded with the second; the thread
    // waits, still counted as running.
    if (wantsConfirmation() && m_channel->post([self = shared_from_this(), verdict = CheckResult, details = m_details] {
            self->m_firstFetch = RecordedCheck{Now(), verdict, details, false};
        }) &&
        m_channel->pause(std::chrono::milliseconds(m_confirmPauseMs), m_pausesEnded)) {
        CheckResult = Fetch();
        m_confirmation = true;
    }
    // Handed over once this thread is free again, so that the check the dispatcher starts when the
    // verdict arrives finds the thread waiting for it.
    return [self = shared_from_this()] {
        self->m_channel->post([self] {
            self->ShowResult();
            self->Finish();
        });
    };
}

bool ThreadDoCheck::wantsConfirmation() const
{
    return m_confirmPauseMs >= 0 && m_previous.verdict == lsFound &&
        (CheckResult == lsNotFound || CheckResult == lsConnectionError);
}

LinkStatus ThreadDoCheck::Fetch()
{
    // Whatever goes wrong, a bad page address or no memory for the page included, is a connection error.
    try {
        HttpClient client(ClientConfigFromSettings(m_settings));
        if (client.connected())
            client.disconnect();
        // Registered for as long as the fetch runs, so that shut-down can cancel it; when shut-down
        // has begun already, attaching aborts the client and the fetch fails at once.
        struct Attachment {
            CheckChannel& channel;
            HttpClient& client;
            Attachment(CheckChannel& c, HttpClient& h) : channel(c), client(h) { channel.attachClient(&client); }
            ~Attachment() { channel.detachClient(&client); }
        } attachment(*m_channel, client);
        const FetchResult page = client.get(m_pageUrl);
        const LinkStatus verdict = !page ? lsConnectionError : MatchPage(page.body, m_siteUrl) ? lsFound : lsNotFound;
        // The details come beside the verdict and never change it; without them it still stands.
        try {
            m_details = m_analyse ? DetailsOfFetch(page, m_siteUrl) : CheckDetails(FactsOfFetch(page));
        } catch (...) {
            m_details = CheckDetails();
        }
        return verdict;
    } catch (...) {
        return lsConnectionError;
    }
}

bool ThreadDoCheck::rowPresent() const
{
    return MonitorInfo->Attached && m_channel->links().contains(*MonitorInfo);
}

void ThreadDoCheck::ShowChecking()
{
    if (!rowPresent())
        return;
    {
        // The row moves to its sorted place with the view's next frame, not for each check.
        LinkList::Update update(m_channel->links(), LinkList::Sorting::Paced);
        m_channel->links().setStatus(*MonitorInfo, lsChecking);
    }
    m_channel->RefreshStatusBar();
}

void ThreadDoCheck::Record(const RecordedCheck& check)
{
    CheckRecorder* recorder = m_channel->recorder();
    // An edit that gave the row another address or website made it another link, and the history of
    // the one fetched went with the edit.
    const LinkKey key{m_siteId, m_pageUrl};
    if (!recorder || LinkKey{MonitorInfo->SiteId, MonitorInfo->PageUrl} != key)
        return;
    // Both fetches of a confirmed loss; when Stop cut the pause short, the first is the check.
    if (m_confirmation && m_firstFetch)
        recorder->recordCheck(key, *m_firstFetch);
    recorder->recordCheck(key, check);
}

void ThreadDoCheck::ShowResult()
{
    // A deleted row's history is gone: nothing of it is recorded again.
    if (!rowPresent())
        return;
    const RecordedCheck check{Now(), CheckResult, m_details, m_confirmation};
    Record(check);
    {
        LinkList::Update update(m_channel->links(), LinkList::Sorting::Paced);
        m_channel->links().setVerdict(*MonitorInfo, CheckResult, check.at, std::move(m_details),
                                      ChangesBetween(m_previous, check));
    }
    m_channel->RefreshStatusBar();
}

void ThreadDoCheck::Finish()
{
    m_channel->countOut();
    // The record no longer has a worker: the dispatcher may start the next one for it.
    if (MonitorInfo->Worker == this)
        MonitorInfo->Worker = nullptr;
    // Let the record go here, so that a row's record is always freed on the UI thread.
    MonitorInfo.reset();
}
