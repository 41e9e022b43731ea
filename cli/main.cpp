// quorvane-check: checks the inbound links from a terminal or a scheduled job, with the window's
// data files, settings, dispatcher and workers. It reads the data files and writes only the check
// history (History.db) in the data folder (the window's, or the one given): the window may be open
// at the same time.
//
//   quorvane-check [--appdir DIR] [--site NAME] [--format tsv|jsonl|csv] [--no-details]
//                  [--no-record] [--changes] [--notify]
//
// Standard output: one line per link in list order. tsv: "verdict<TAB>website<TAB>page", then the
// four summary counts. jsonl and csv: the verdict and the details of each check, and nothing else, so
// that the output is pure data; the four counts go to standard error. With --changes only the links
// whose check changed something, each with the change (a fourth tsv field, a "change" key or last
// column). Exit status 0 when every link was found, 1 when any was not found or failed, 2 for bad
// arguments or an unknown website; the history and the notification never change it.

#include "check/CheckDispatcher.h"
#include "cli/CheckOutput.h"
#include "cli/HistoryRun.h"
#include "cli/Notifier.h"
#include "model/AppError.h"
#include "model/DataFiles.h"
#include "model/DataFolder.h"
#include "model/DateTime.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int ExitAllFound = 0;
constexpr int ExitSomeFailed = 1;
constexpr int ExitUsage = 2;

const char Usage[] = "usage: quorvane-check [--appdir DIR] [--site NAME]\n";
const char Help[] = "\n"
                    "Checks the inbound links kept by Quorvane and prints one verdict a line.\n"
                    "\n"
                    "  --appdir DIR  read the data files from DIR instead of the data folder\n"
                    "  --site NAME   check only the links of the website NAME\n"
                    "  --format tsv|jsonl|csv\n"
                    "                tsv (the default): \"verdict<TAB>website<TAB>page\" a line, then the four\n"
                    "                counts on a line of their own; jsonl: a JSON object a link with its\n"
                    "                verdict and what the check found out (HTTP status, error, redirects,\n"
                    "                link kind, anchor text, robots, canonical, evidence); csv: the same\n"
                    "                columns with a header row. jsonl and csv write only the links to\n"
                    "                standard output and the four counts to standard error\n"
                    "  --no-details  skip the analysis of the pages' links (the verdicts stay the same)\n"
                    "  --no-record   do not record the checks in the history (History.db in the data\n"
                    "                folder), which they otherwise are\n"
                    "  --changes     print only the links whose check changed something since their\n"
                    "                previous check, with the changes: in tsv a fourth field,\n"
                    "                \"verdict<TAB>website<TAB>page<TAB>changes\", in jsonl a \"change\" key,\n"
                    "                in csv a last \"change\" column; for example \"lost\", \"back\",\n"
                    "                \"now nofollow\" or \"lost, now no link\"\n"
                    "  --notify      show a desktop notification listing the links lost in this run,\n"
                    "                when there are any\n"
                    "  -h, --help    show this help and exit\n"
                    "\n"
                    "Exit status: 0 when every link was found, 1 when any was not found or failed, 2 for bad\n"
                    "arguments or an unknown website.\n";

struct Options {
    QString appDir;
    std::optional<QByteArray> site;
    std::optional<OutputFormat> format;
    bool details = true;
    bool record = true;
    bool changes = false;
    bool notify = false;
};

void Write(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

[[noreturn]] void Fail(int status, const QByteArray& message)
{
    Write(stderr, "quorvane-check: " + message + '\n');
    std::exit(status);
}

// Arguments are taken as bytes: a website's Name is compared byte for byte as the files hold it.
Options ParseArguments(int argc, char** argv)
{
    Options options;
    options.appDir = DataFolder();
    bool appDirGiven = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            Write(stdout,
                  Usage + QByteArray(Help) + "Data folder: " + QFile::encodeName(QDir::cleanPath(DataFolder())) + '\n');
            std::exit(ExitAllFound);
        }
        if (argument == "--no-record" || argument == "--changes" || argument == "--notify") {
            bool& flag = argument == "--changes" ? options.changes
                : argument == "--notify"         ? options.notify
                                                 : options.record;
            flag = argument != "--no-record";
            continue;
        }
        if (argument == "--no-details") {
            options.details = false;
            continue;
        }
        const bool isAppDir = argument == "--appdir";
        const bool isSite = argument == "--site";
        const bool isFormat = argument == "--format";
        if (!isAppDir && !isSite && !isFormat)
            Fail(ExitUsage, "unknown argument \"" + argument + "\"; " + QByteArray(Usage).chopped(1));
        if ((isAppDir && appDirGiven) || (isSite && options.site) || (isFormat && options.format))
            Fail(ExitUsage, argument + " given twice");
        if (i + 1 >= argc)
            Fail(ExitUsage, argument + " needs a value");
        const QByteArray value = argv[++i];
        if (isSite) {
            options.site = value;
            continue;
        }
        if (isFormat) {
            options.format = ParseOutputFormat(value);
            if (!options.format)
                Fail(ExitUsage, "unknown format \"" + value + "\"; use tsv, jsonl or csv");
            continue;
        }
        appDirGiven = true;
        options.appDir = QFile::decodeName(value);
        if (!QFileInfo(options.appDir).isDir())
            Fail(ExitUsage, "no such directory \"" + value + '"');
    }
    options.appDir = QDir(options.appDir).absolutePath();
    if (!options.appDir.endsWith(u'/'))
        options.appDir += u'/';
    return options;
}

// "checked 120 of 5000" on one terminal line, rewritten in place.
// Links start with the verdicts of their latest recorded checks, so the checks of this run are
// counted as they finish.
class Progress {
public:
    Progress(const LinkList& links, const HistoryRun& run)
        : m_links(links), m_run(run), m_enabled(::isatty(STDERR_FILENO) == 1)
    {
    }

    void update()
    {
        if (!m_enabled)
            return;
        const int checked = m_run.checkedCount();
        if (checked == m_shown)
            return;
        m_shown = checked;
        std::fprintf(stderr, "\rchecked %d of %d", checked, m_links.visibleCount());
        std::fflush(stderr);
    }
    void finish()
    {
        if (m_enabled && m_shown >= 0)
            std::fputc('\n', stderr);
    }

private:
    const LinkList& m_links;
    const HistoryRun& m_run;
    const bool m_enabled;
    int m_shown = -1;
};

int Report(const LinkList& links, const WebsiteTree& websites, OutputFormat format, const HistoryRun* changes)
{
    bool allFound = true;
    links.forEachRow([&](const rMonitorInfo& link) {
        if (links.isVisible(link))
            allFound = allFound && link.Status == lsFound;
    });
    const std::array<QString, 4> texts = links.StatusBarTexts();
    const QByteArray counts = (texts[0] + u',' + texts[1] + u',' + texts[2] + u',' + texts[3]).toLatin1() + '\n';
    ChangeOf changeOf;
    if (changes)
        changeOf = [changes](const rMonitorInfo& link) { return changes->changesOf(link); };
    QByteArray out = LinkLines(links, websites, format, changeOf);
    if (format == OutputFormat::Tsv)
        out += counts;
    Write(stdout, out);
    std::fflush(stdout);
    if (format != OutputFormat::Tsv)
        Write(stderr, counts);
    return allFound ? ExitAllFound : ExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Options options = ParseArguments(argc, argv);

    SettingsFile settings(options.appDir + QStringLiteral("config.ini"));
    WebsiteTree websites;
    websites.AddRootWebsite();
    LoadWebsites(options.appDir, websites);
    LinkList links;
    LoadLinks(options.appDir, links, LocaleFormats::system());

    if (options.site) {
        const std::int32_t id = websites.WebsiteIdByName(*options.site);
        if (id == 0)
            Fail(ExitUsage, "unknown website \"" + *options.site + '"');
        links.ShowSiteItems(id, websites);
    }

    // The window reads the whole history file for damage each time it starts. A scheduled check
    // leaves that to it and stays light: damage met while reading or writing is still set aside.
    HistoryOptions historyOptions;
    historyOptions.verifyOnOpen = false;
    // A folder without links has nothing to record: a mistyped --appdir gets no history file.
    HistoryRun history(
        options.appDir + QLatin1StringView(HistoryStore::FileName), options.record && links.rowCount() > 0,
        [](const QString& text) { Write(stderr, "quorvane-check: " + text.toLocal8Bit() + '\n'); }, historyOptions);
    history.restore(links);
    history.watch(links);

    Progress progress(links, history);
    CheckDispatcher dispatcher(links, websites, settings);
    dispatcher.setRecorder(&history);
    dispatcher.setAnalysePages(options.details);
    dispatcher.setRefreshStatusBar([&progress] { progress.update(); });
    try {
        dispatcher.StartAll();
        dispatcher.WaitUntilIdle();
    } catch (const AppError& error) {
        progress.finish();
        dispatcher.shutdown();
        history.unwatch();
        history.flush();
        Fail(ExitSomeFailed, error.text().toLocal8Bit());
    }
    progress.finish();
    history.finish();
    dispatcher.shutdown();
    const int status =
        Report(links, websites, options.format.value_or(OutputFormat::Tsv), options.changes ? &history : nullptr);
    if (options.notify) {
        DBusNotifier notifier;
        const QString failed = NotifyLostLinks(notifier, history.lost(), websites);
        if (!failed.isEmpty())
            Write(stderr, "quorvane-check: no desktop notification: " + failed.toLocal8Bit() + '\n');
    }
    return status;
}
