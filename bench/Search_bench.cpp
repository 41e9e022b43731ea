// The search field of the main window at 100,000 links and 50 websites: what one keystroke costs,
// from the field's change to the list painted again, beside switching the website in the same
// window. Typing narrows the search, Backspace widens it, a paste or a new word tests every link.
// The list alone, without a view, does the same work in the column beside. Last, what testing
// every link would cost if each field were decoded and folded as Unicode text, beside the bytes.
//
// Times are the processor time of the window's thread, which is what a keystroke costs on an idle
// machine; on a busy one, the time that passes is longer by what other programs take, and the
// slowest keystroke is shown that way as well.
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/QuorvaneApplication.h"
#include "app/SearchField.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "model/AppDir.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/LinkSearch.h"
#include "model/WebsiteTree.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

int LinkCount = 100000;
constexpr int WebsiteCount = 50;
constexpr int Rounds = 5;

WebsiteTree Websites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    static const char* topics[] = {"Garden", "Travel", "Recipes", "Photo", "Bikes", "Music", "Books", "Hosting"};
    for (int i = 1; i <= WebsiteCount; ++i)
        websites.append({QByteArray(topics[i % 8]) + " Journal " + QByteArray::number(i),
                         "site" + QByteArray::number(i) + ".example", i});
    return websites;
}

// Contacts as a user's list holds them: a tenth with letters beyond ASCII, some fields empty.
std::vector<LinkRecord> Links()
{
    static const char* words[] = {"garden", "Travel", "recipes", "photo", "bikes",  "Music",  "books", "hosting",
                                  "games",  "news",   "pets",    "cars",  "Health", "crafts", "sport", "finance"};
    static const char* first[] = {"Anna", "John", "Maria", "Peter", "Linda", "Tom", "Eva", "Mark", "", "Zo\xc3\xab"};
    static const char* last[] = {"Smith",  "Miller", "Brown", "Johnson",       "Lee",
                                 "Garcia", "Young",  "",      "M\xc3\xbcller", "\xc3\x96zt\xc3\xbcrk"};
    std::mt19937 rng(3);
    std::vector<LinkRecord> links;
    links.reserve(static_cast<std::size_t>(LinkCount));
    for (int i = 0; i < LinkCount; ++i) {
        auto link = std::make_shared<rMonitorInfo>();
        link->SiteId = 1 + static_cast<int>(rng() % WebsiteCount);
        const char* w1 = words[rng() % 16];
        const char* w2 = words[rng() % 16];
        link->PageUrl = QByteArray("http://www.") + w1 + "-" + w2 + QByteArray::number(rng() % 100000) + ".com/" +
            (rng() % 2 ? "links.html" : "partners/resources.php?page=" + QByteArray::number(rng() % 50));
        link->FirstName = first[rng() % 10];
        link->LastName = last[rng() % 10];
        link->Email = link->FirstName.isEmpty() ? QByteArray() : "contact" + QByteArray::number(i) + "@" + w2 + ".com";
        link->Created = 45000 + i * 0.001;
        links.push_back(std::move(link));
    }
    return links;
}

double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double WallOfLast = 0;  // the time that passed during the last Milliseconds()

double Milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    const double start = ThreadMilliseconds();
    work();
    const double spent = ThreadMilliseconds() - start;
    WallOfLast = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return spent;
}

// The median and the slowest of several timings.
struct Figures {
    double median = 0;
    double slowest = 0;
};

Figures Summarize(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

// One keystroke: what it does to the text, the same to the field of the window and to the text
// given to the list alone.
struct Keystroke {
    enum Kind { Type, Backspace, Replace } kind;
    QString text;
};

std::vector<Keystroke> Typing(const char* word)
{
    std::vector<Keystroke> keys;
    for (const QChar c : QString::fromUtf8(word))
        keys.push_back({Keystroke::Type, QString(c)});
    return keys;
}

std::vector<Keystroke> Erasing(int count)
{
    return std::vector<Keystroke>(static_cast<std::size_t>(count), Keystroke{Keystroke::Backspace, {}});
}

QString Apply(const Keystroke& key, QString text)
{
    switch (key.kind) {
    case Keystroke::Type: return text + key.text;
    case Keystroke::Backspace: text.chop(1); return text;
    case Keystroke::Replace: return key.text;
    }
    return text;
}

struct Scenario {
    const char* what;
    std::vector<Keystroke> keys;
};

void Print(const char* what, const Figures& window, const Figures& list, double wall, double peer)
{
    std::printf("%-46s slowest %5.1f ms  median %5.1f ms  list alone %5.1f ms  ratio to switch %4.2f  "
                "(passed %5.1f ms)  target 50 ms\n",
                what, window.slowest, window.median, list.slowest, window.slowest / std::max(peer, 0.001), wall);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QuorvaneApplication app(argc, argv);
    if (argc > 1)
        LinkCount = std::atoi(argv[1]);
    QTemporaryDir dir;
    const QString appDir = dir.path() + u'/';
    ScopedAppDir scope(appDir);
    const WebsiteTree websites = Websites();
    SaveWebsites(appDir, websites);
    {
        LinkList links;
        links.appendMany(Links());
        SaveLinks(appDir, links, LocaleFormats::system());
    }

    LinkList bare;
    LoadLinks(appDir, bare, LocaleFormats::system());
    TfrmMain window;
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
    QWidget* viewport = window.linksPane().VSTItem()->viewport();
    SearchField* field = window.linksPane().EditSearch();

    std::vector<double> switches;
    std::vector<double> switchWalls;
    for (int i = 0; i < Rounds; ++i) {
        switches.push_back(Milliseconds([&] {
            window.SelectWebsiteById(1 + i);
            viewport->repaint();
        }));
        switchWalls.push_back(WallOfLast);
    }
    const double peer = Summarize(switches).median;
    std::printf("%-46s median %5.1f ms, the peer of every ratio below  (passed %5.1f ms)\n", "switching the website",
                peer, Summarize(switchWalls).median);
    window.websitesPane().focusRoot();
    bare.ShowAllItems();

    auto replace = [](const char* text) { return Keystroke{Keystroke::Replace, QString::fromUtf8(text)}; };
    const std::vector<Scenario> scenarios = {
        {"typing a last name, letter by letter", Typing("miller")},
        {"typing two words, letter by letter", Typing("anna garden")},
        {"typing a name with letters beyond ASCII", Typing("m\xc3\xbcller")},
        {"typing what no link holds", Typing("qqxz")},
        {"pasting what no link holds (every link tested)", {replace("unheard-of")}},
        {"pasting one word over another", {replace("smith"), replace("johnson")}},
        {"erasing a word, key by key",
         [] {
             std::vector<Keystroke> keys = Typing("journal 7");
             for (const Keystroke& key : Erasing(9))
                 keys.push_back(key);
             return keys;
         }()},
    };

    for (const Scenario& scenario : scenarios) {
        std::vector<double> inWindow;
        std::vector<double> walls;
        std::vector<double> alone;
        for (int round = 0; round < Rounds; ++round) {
            field->clear();
            bare.setSearch({}, websites);
            QString text;
            for (const Keystroke& key : scenario.keys) {
                text = Apply(key, text);
                inWindow.push_back(Milliseconds([&] {
                    switch (key.kind) {
                    case Keystroke::Type: field->insert(key.text); break;
                    case Keystroke::Backspace: field->backspace(); break;
                    case Keystroke::Replace: field->setText(key.text); break;
                    }
                    viewport->repaint();
                }));
                walls.push_back(WallOfLast);
                alone.push_back(Milliseconds([&] { bare.setSearch(text.toUtf8(), websites); }));
            }
        }
        Print(scenario.what, Summarize(inWindow), Summarize(alone), Summarize(walls).slowest, peer);
    }

    // With one website shown, the rows of the others are tested as well, so that they come back
    // matched when the user shows all websites.
    field->clear();
    window.SelectWebsiteById(3);
    std::vector<double> oneSite;
    for (int round = 0; round < Rounds; ++round) {
        field->clear();
        for (const Keystroke& key : Typing("miller")) {
            oneSite.push_back(Milliseconds([&] {
                field->insert(key.text);
                viewport->repaint();
            }));
        }
    }
    const Figures oneSiteFigures = Summarize(oneSite);
    std::printf("%-46s slowest %5.1f ms  median %5.1f ms  ratio to switch %4.2f  target 50 ms\n",
                "typing a last name, one website shown", oneSiteFigures.slowest, oneSiteFigures.median,
                oneSiteFigures.slowest / std::max(peer, 0.001));

    // The choice of matching: bytes with a to z folded, and Unicode folding only for fields that
    // hold letters beyond ASCII when the word does, beside decoding and folding every field.
    const std::vector<LinkRecord> records = bare.records();
    const LinkSearch bytes("unheard-of", websites);
    const QString folded = QStringLiteral("unheard-of");
    std::vector<char> siteHolds(WebsiteCount + 1);
    for (const rMySiteInfo& site : websites.children())
        siteHolds[static_cast<std::size_t>(site.Id)] =
            QString::fromUtf8(site.Name).contains(folded, Qt::CaseInsensitive);
    std::vector<double> byteTimes;
    std::vector<double> unicodeTimes;
    int sink = 0;
    for (int round = 0; round < Rounds; ++round) {
        byteTimes.push_back(Milliseconds([&] {
            for (const LinkRecord& r : records)
                sink += bytes.matches(*r);
        }));
        unicodeTimes.push_back(Milliseconds([&] {
            for (const LinkRecord& r : records) {
                const bool found = QString::fromUtf8(r->PageUrl).contains(folded, Qt::CaseInsensitive) ||
                    QString::fromUtf8(r->FirstName).contains(folded, Qt::CaseInsensitive) ||
                    QString::fromUtf8(r->LastName).contains(folded, Qt::CaseInsensitive) ||
                    QString::fromUtf8(r->Email).contains(folded, Qt::CaseInsensitive) ||
                    siteHolds[static_cast<std::size_t>(r->SiteId)];
                sink += found;
            }
        }));
    }
    const double byteMedian = Summarize(byteTimes).median;
    const double unicodeMedian = Summarize(unicodeTimes).median;
    std::printf("%-46s bytes %6.1f ms  every field decoded and folded %6.1f ms  ratio %5.1f%s\n",
                "testing every link once", byteMedian, unicodeMedian, unicodeMedian / std::max(byteMedian, 0.001),
                sink < 0 ? " " : "");
    std::fflush(stdout);
    return 0;
}
