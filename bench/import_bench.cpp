// Importing a file of 100,000 partner page URLs through the wizard, beside a plain read and split
// of the same file measured in the same run. Also counts how often the progress bar repaints.
#include "dialogs/WebsiteCheckList.h"
#include "import/ImportPreviewModel.h"
#include "import/UnitImport.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/TextFile.h"
#include "model/WebsiteTree.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace {

constexpr int UrlCount = 100000;

QString g_sourceFile;

void WriteSource(const QString& path)
{
    static const char* words[] = {"garden", "Travel", "recipes", "photo", "bikes", "Music", "books", "hosting"};
    std::mt19937 rng(7);
    QByteArray text;
    for (int i = 0; i < UrlCount; ++i) {
        if (rng() % 3 == 0)
            text += rng() % 2 ? "https://" : "HTTP://";
        text += QByteArray("www.") + words[rng() % 8] + "-" + words[rng() % 8] + QByteArray::number(rng() % 100000) +
            ".example/" + (rng() % 2 ? "links.html" : "partners/resources.php?page=" + QByteArray::number(rng() % 50)) +
            "\r\n";
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        std::abort();
}

WebsiteTree Websites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({"Garden", "garden.example", 1});
    return websites;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The peer: the same file read whole and split into lines, nothing more.
void BM_ReadAndSplit(benchmark::State& state)
{
    for (auto _ : state) {
        const QByteArray text = ReadTextFile(g_sourceFile);
        benchmark::DoNotOptimize(SplitLines(text).size());
    }
}

// "Browse...": reading, splitting, normalising and listing every line.
void BM_Browse(benchmark::State& state)
{
    const WebsiteTree websites = Websites();
    for (auto _ : state) {
        state.PauseTiming();
        LinkList links;
        InstalledFakeFileDialogs dialogs;
        TfrmImport wizard(nullptr, websites, links);
        dialogs.queueFileName(g_sourceFile);
        state.ResumeTiming();
        wizard.Button3Click();
        benchmark::DoNotOptimize(wizard.preview().pageUrls().size());
    }
}

// "Finish": the rows going into the list, with the wizard on screen and its bar moving.
void BM_ImportLinks(benchmark::State& state)
{
    const WebsiteTree websites = Websites();
    double paints = 0;
    double seconds = 0;
    for (auto _ : state) {
        LinkList links;
        InstalledFakeFileDialogs dialogs;
        InstalledFakePrompts prompts;
        TfrmImport wizard(nullptr, websites, links);
        dialogs.queueFileName(g_sourceFile);
        wizard.Button3Click();
        wizard.show();
        wizard.BtnNextClick();
        wizard.BtnNextClick();
        wizard.VSTSites()->setMarked(0, true);
        wizard.BtnNextClick();
        PaintCounter counter;
        wizard.ProgressBar1()->installEventFilter(&counter);
        QApplication::processEvents();

        QElapsedTimer timer;
        timer.start();
        wizard.BtnNextClick();
        const double elapsed = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(elapsed);
        if (links.rowCount() != UrlCount)
            state.SkipWithError("rows missing");
        paints += counter.paints;
        seconds += elapsed;
    }
    state.counters["paints_per_s"] = paints / seconds;
}

BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Browse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ImportLinks)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

// Prints, after Google Benchmark's own lines, browse and import beside the plain read and split.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            m_ms[run.benchmark_name()] = run.GetAdjustedRealTime();
            if (auto it = run.counters.find("paints_per_s"); it != run.counters.end())
                m_paintsPerSecond = it->second;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double peer = find("BM_ReadAndSplit");
        const double browse = find("BM_Browse");
        const double import = find("BM_ImportLinks");
        std::printf("\n100,000 URLs                         time   peer (read + split)   ratio\n");
        std::printf("Browse (read, split, normalise)  %7.1f ms  %9.1f ms  %12.1fx\n", browse, peer, browse / peer);
        std::printf("Import into the list (Finish)    %7.1f ms  %9.1f ms  %12.1fx\n", import, peer, import / peer);
        std::printf("Browse + import                  %7.1f ms  %9.1f ms  %12.1fx   (target: 3000 ms)\n",
                    browse + import, peer, (browse + import) / peer);
        std::printf("Progress bar repaints            %7.0f a second during the import\n", m_paintsPerSecond);
    }

private:
    double find(const std::string& prefix) const
    {
        for (const auto& [name, ms] : m_ms) {
            if (name.rfind(prefix, 0) == 0)
                return ms;
        }
        return 0;
    }
    std::map<std::string, double> m_ms;
    double m_paintsPerSecond = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_sourceFile = dir.filePath(QStringLiteral("links.txt"));
    WriteSource(g_sourceFile);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
