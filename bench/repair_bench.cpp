#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "discovery/workfiles.h"
#include "engine/engineui.h"
#include "htmlcorpus.h"
#include "results/linkrepair.h"

namespace {

class SilentUi final : public EngineUi
{
public:
    void AppendText(const QByteArray &) override {}
    void ClearText() override {}
    void ShowStatus(const StatusEvent &) override {}
    void MessageBeep(Beep) override {}
    void MessageBox(const QString &, Icon) override {}
    bool AskYesNo(const QString &) override { return true; }
    void ShowProgress(const ProgressModel *) override {}
    void ShowActivity(int) override {}
    void StateChanged() override {}
};

constexpr int kFiles = 1000;
constexpr int kLinksPerFile = 20;

// Writes the files afresh and returns the report that names them.
QByteArray WriteSite(const QByteArray &directory)
{
    QByteArray report = "Start of test NOW\r\n\r\n";
    for (int file = 0; file < kFiles; ++file) {
        const QByteArray path = directory + "/page" + QByteArray::number(file) + ".html";
        QByteArray html = "<html><head><title>Page</title></head><body>\n";
        report += "<Testing: " + path + "\r\n";
        for (int link = 0; link < kLinksPerFile; ++link) {
            const QByteArray url = "http://host" + QByteArray::number(link) + ".example/p" +
                                   QByteArray::number(file) + ".html";
            html += "<p>Some text about the link, long enough to look like a page.</p>\n"
                    "<li><a href=\"" +
                    url + "\">Link " + QByteArray::number(link) + "</a></li>\n";
            report += '"' + url + "\" >Link " + QByteArray::number(link) +
                      "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
        }
        html += "</body></html>\n";
        QFile out(QFile::decodeName(path));
        if (out.open(QIODevice::WriteOnly))
            out.write(html);
        report += ">Results for " + path + ": URLs tested: 20. URL errors: 20.\r\n\r\n";
    }
    return report;
}

// Repairs 1,000 files with 20 reported links each; items are files.
void BM_RepairFromReport(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("VANTREL_HOME", QFile::encodeName(home.path()));
    const QByteArray site = QFile::encodeName(home.path());
    SilentUi ui;
    const CWorkFiles workFiles;
    bool completed = true;
    for (auto _ : state) {
        state.PauseTiming();
        const QByteArray report = WriteSite(site);
        state.ResumeTiming();
        CLinkRepair repair(ui, workFiles);
        completed = repair.RepairFromReport(report, static_cast<int>(state.range(0))) && completed;
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    state.counters["completed"] = completed ? 1 : 0;
    state.counters["peak_rss_MB"] = PeakResidentKilobytes() / 1024.0;
}

} // namespace

BENCHMARK(BM_RepairFromReport)
    ->ArgName("type")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
