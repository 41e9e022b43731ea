#include "check/UnitThreadDoCheck.h"

#include "check/CheckChannel.h"
#include "check/ClientSettings.h"
#include "check/FetchDetails.h"
#include "check/HttpClient.h"
#include "model/AppError.h"
#include "model/Clock.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"

#include <algorithm>
#include <system_error>
#include <thread>

const ThreadDoCheck* ThreadDoCheck::Start(std::shared_ptr<CheckChannel> channel, LinkRecord record,
                                          const SettingsFile& settings)
{
    auto* worker = new ThreadDoCheck(std::move(channel), std::move(record), settings);
    CheckChannel& shared = *worker->m_channel;
    worker->m_running = true;
    shared.threadStarting();
    try {
        // The thread holds a channel handle of its own, which outlives the worker's last step.
        std::thread([worker, keep = worker->m_channel] {
            worker->Execute();
            delete worker;
            keep->threadEnded();
        }).detach();
    } catch (const std::system_error& error) {
        shared.threadEnded();
        shared.countOut();
        worker->m_running = false;
        delete worker;
        throw AppError(QStringLiteral("Thread creation error: %1").arg(QString::fromLocal8Bit(error.code().message())));
    }
    return worker;
}

ThreadDoCheck::ThreadDoCheck(std::shared_ptr<CheckChannel> channel, LinkRecord record, const SettingsFile& settings)
    : m_channel(std::move(channel)),
      MonitorInfo(std::move(record)),
      m_pageUrl(MonitorInfo->PageUrl),
      m_siteUrl(MonitorInfo->SiteUrl),
      m_settings(settings),
      m_analyse(m_channel->analysePages()),
      m_siteId(MonitorInfo->SiteId),
      m_previous{MonitorInfo->LastCheck, MonitorInfo->Status, MonitorInfo->Details.get(), false}
{
    m_channel->countIn();
}

ThreadDoCheck::~ThreadDoCheck()
{
    // Last of all, so that a dispatcher waiting for a slot goes on only once the verdict is in.
    if (m_running)
        m_channel->callOver([this] { Finish(); });
}

void ThreadDoCheck::Execute()
{
    m_channel->callOver([this] { ShowChecking(); });
    CheckResult = Fetch();
    if (m_previous.verdict == lsFound && m_settings.read(Keys::ConfirmLosses))
        m_confirmPauseMs = std::clamp(m_settings.read(Keys::ConfirmPause), 0, Keys::MaxConfirmPause) * 1000;
    if (wantsConfirmation() && m_channel->callOver([this] { RecordFirst(); }) && m_channel->pause(m_confirmPauseMs)) {
        CheckResult = Fetch();
        m_confirmation = true;
    }
    m_channel->callOver([this] { ShowResult(); });
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
        LinkList::Update update(m_channel->links());
        m_channel->links().setStatus(*MonitorInfo, lsChecking);
    }
    m_channel->RefreshStatusBar();
}

void ThreadDoCheck::RecordFirst()
{
    // A deleted row's history is gone: nothing of it is recorded again.
    if (!rowPresent())
        return;
    if (HistoryStore* store = m_channel->history())
        store->record(LinkKey{m_siteId, m_pageUrl}, RecordedCheck{Now(), CheckResult, m_details, false});
}

void ThreadDoCheck::ShowResult()
{
    if (!rowPresent())
        return;
    const RecordedCheck check{Now(), CheckResult, m_details, m_confirmation};
    // Kept under the address that was fetched, which an edit meanwhile may have changed.
    if (HistoryStore* store = m_channel->history())
        store->record(LinkKey{m_siteId, m_pageUrl}, check);
    {
        LinkList::Update update(m_channel->links());
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
