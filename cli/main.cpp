// quorvane-check: checks the inbound links from a terminal or a scheduled job, with the window's
// data files, settings, dispatcher and workers. It only reads the data folder (the window's, or the
// one given): the window may be open at the same time.
//
//   quorvane-check [--appdir DIR] [--site NAME]
//
// Standard output: one line per link in list order, "verdict<TAB>website<TAB>page", then the four
// summary counts. Exit status 0 when every link was found, 1 when any was not found or failed, 2
// for bad arguments or an unknown website.

#include "check/CheckDispatcher.h"
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
                    "  -h, --help    show this help and exit\n"
                    "\n"
                    "Exit status: 0 when every link was found, 1 when any was not found or failed, 2 for bad\n"
                    "arguments or an unknown website.\n";

struct Options {
    QString appDir;
    std::optional<QByteArray> site;
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
        const bool isAppDir = argument == "--appdir";
        const bool isSite = argument == "--site";
        if (!isAppDir && !isSite)
            Fail(ExitUsage, "unknown argument \"" + argument + "\"; " + QByteArray(Usage).chopped(1));
        if ((isAppDir && appDirGiven) || (isSite && options.site))
            Fail(ExitUsage, argument + " given twice");
        if (i + 1 >= argc)
            Fail(ExitUsage, argument + " needs a value");
        const QByteArray value = argv[++i];
        if (isSite) {
            options.site = value;
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

const char* VerdictName(LinkStatus status)
{
    switch (status) {
    case lsFound: return "found";
    case lsNotFound: return "not-found";
    case lsConnectionError: return "connection-error";
    case lsUnchecked:
    case lsChecking: break;
    }
    return "unchecked";
}

// "checked 120 of 5000" on one terminal line, rewritten in place.
class Progress {
public:
    explicit Progress(const LinkList& links) : m_links(links), m_enabled(::isatty(STDERR_FILENO) == 1) {}

    void update()
    {
        if (!m_enabled)
            return;
        const int checked = m_links.CountVisibleWithStatus(lsFound) + m_links.CountVisibleWithStatus(lsNotFound) +
            m_links.CountVisibleWithStatus(lsConnectionError);
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
    const bool m_enabled;
    int m_shown = -1;
};

int Report(const LinkList& links, const WebsiteTree& websites)
{
    bool allFound = true;
    QByteArray out;
    links.forEachRow([&](const rMonitorInfo& link) {
        if (!links.isVisible(link))
            return;
        allFound = allFound && link.Status == lsFound;
        out += QByteArray(VerdictName(link.Status)) + '\t' + websites.WebsiteNameById(link.SiteId) + '\t' +
            link.PageUrl + '\n';
    });
    const std::array<QString, 4> texts = links.StatusBarTexts();
    out += (texts[0] + u',' + texts[1] + u',' + texts[2] + u',' + texts[3]).toLatin1() + '\n';
    Write(stdout, out);
    std::fflush(stdout);
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

    Progress progress(links);
    CheckDispatcher dispatcher(links, websites, settings);
    dispatcher.setRefreshStatusBar([&progress] { progress.update(); });
    try {
        dispatcher.StartAll();
        dispatcher.WaitUntilIdle();
    } catch (const AppError& error) {
        progress.finish();
        dispatcher.shutdown();
        Fail(ExitSomeFailed, error.text().toLocal8Bit());
    }
    progress.finish();
    dispatcher.shutdown();
    return Report(links, websites);
}
