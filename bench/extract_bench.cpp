#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>

#include "discovery/linkextractor.h"
#include "htmlcorpus.h"

namespace {

// Scans generated files of range(0) MB by the rule: the throughput is the
// source size per second. With range(1) set, links are sparse, so the peak memory shows the
// scan's own working set, which must not grow with the file; otherwise it also
// holds the found links, which grow with their number.
void ExtractLinksBy(benchmark::State &state, LinkRule rule)
{
    QTemporaryDir directory;
    const std::string dir = directory.path().toStdString();
    const std::string source =
        WriteHtmlCorpus(dir, static_cast<std::size_t>(state.range(0)) << 20, state.range(1) != 0);
    struct stat info
    {};
    stat(source.c_str(), &info);
    const QByteArray splitCopy = QByteArray::fromStdString(dir + "/urltmp~2");

    qsizetype links = 0;
    for (auto _ : state) {
        QList<QByteArray> urls;
        QList<QByteArray> anchors;
        ExtractLinks(QByteArray::fromStdString(source), splitCopy, urls, anchors, nullptr, rule);
        links = urls.size();
        benchmark::DoNotOptimize(urls.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * info.st_size);
    state.counters["links"] = static_cast<double>(links);
    state.counters["peak_rss_MB"] = PeakResidentKilobytes() / 1024.0;
}

// The classic scan: the split copy and its pieces.
void BM_ExtractLinks(benchmark::State &state)
{
    ExtractLinksBy(state, LinkRule::Classic);
}

// Today's web reading of the same pages: HTML5 tokens, every link resolved.
void BM_ExtractLinksTodaysWeb(benchmark::State &state)
{
    ExtractLinksBy(state, LinkRule::TodaysWeb);
}

} // namespace

BENCHMARK(BM_ExtractLinksTodaysWeb)
    ->ArgNames({"MB", "sparse"})
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({10, 1})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK(BM_ExtractLinks)
    ->ArgNames({"MB", "sparse"})
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({10, 1})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
