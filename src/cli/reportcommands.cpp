#include "reportcommands.h"

#include <unistd.h>

#include "cli/checkoptions.h"
#include "cli/savedreport.h"
#include "cli/terminaltext.h"
#include "cli/terminalui.h"
#include "discovery/workfiles.h"
#include "engine/resultcategories.h"
#include "formats/jsonresultsreader.h"
#include "records/runlistener.h"
#include "results/linkrepair.h"
#include "results/reportexport.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

namespace {

constexpr int kExitNotDone = 1;
constexpr int kExitBadInput = 2;

ExportChoice::Format ExportChoiceFormat(CheckOptions::ExportFormat format)
{
    switch (format) {
    case CheckOptions::ExportFormat::Text:
        return ExportChoice::Text;
    case CheckOptions::ExportFormat::Html:
        return ExportChoice::Html;
    case CheckOptions::ExportFormat::Json:
        return ExportChoice::Json;
    case CheckOptions::ExportFormat::Csv:
        return ExportChoice::Csv;
    case CheckOptions::ExportFormat::JUnit:
        return ExportChoice::JUnit;
    case CheckOptions::ExportFormat::Markdown:
        break;
    }
    return ExportChoice::Markdown;
}

// What a repair needs to know of JSON results before it starts: the mode of
// their run, and whether a reported link met a reply code outside every
// result category.
class ResultsGlance final : public RunListener
{
public:
    std::optional<bool> todaysWeb;
    bool unknownCode = false;

private:
    void RunStarted(const RunStart &start) override { todaysWeb = start.todaysWeb; }
    void PageStarted(const PageStart &) override {}
    void LinkTested(const LinkRecord &link) override
    {
        unknownCode = unknownCode || link.category == ResultCategory::UnknownReply;
    }
    void PageEnded(const PageEnd &) override {}
    void RunEnded(const RunEnd &) override {}
};

} // namespace

int ExportSavedReport(const CheckOptions &options, std::FILE *err)
{
    const std::optional<QByteArray> report = ReadSavedReport(options.path, err);
    if (!report)
        return kExitBadInput;
    const auto refuse = [&options, err](const QByteArray &why) {
        const QByteArray message = "vantrel-check: " + options.output + why;
        std::fprintf(err, "%s\n", ForStream(err, message, true).constData());
        return kExitBadInput;
    };
    // Without a terminal nobody could answer the question; an existing file
    // is replaced only when the command line says so.
    if (!options.force && ExportTargetExists(options.output))
        return refuse(" already exists; use --force to replace it");
    ExportChoice choice;
    choice.path = options.output;
    choice.format = ExportChoiceFormat(options.exportFormat);
    QString why;
    if (!WriteExport(choice, *report, &why))
        return refuse(" cannot be written: " + why.toLocal8Bit());
    return 0;
}

int RepairFromSavedReport(const CheckOptions &options, std::FILE *err)
{
    const std::optional<QByteArray> report = ReadSavedReport(options.path, err);
    if (!report)
        return kExitBadInput;
    // JSON results are read whole first: a document that is not ours repairs nothing.
    ResultsGlance glance;
    if (IsJsonDocument(*report)) {
        const QString refused = ReadJsonResults(*report, glance);
        if (!refused.isEmpty()) {
            TellReportUnread(options.path, refused, err);
            return kExitBadInput;
        }
    } else {
        glance.unknownCode = report->contains(kUnknownReasonText);
    }
    const bool terminal = isatty(STDIN_FILENO) != 0 && isatty(fileno(err)) != 0;
    TerminalUi ui(stdout, err, terminal);
    if (glance.unknownCode && !options.yes && !options.dryRun) {
        if (!terminal) {
            std::fputs("vantrel-check: the report holds a reply code outside every result "
                       "category; repair it only after checking it, with --yes\n",
                       err);
            return kExitNotDone;
        }
        if (!ui.AskYesNo(UnknownCodeQuestion()))
            return kExitNotDone;
    }
    const CWorkFiles workFiles;
    CLinkRepair repair(ui, workFiles);
    {
        const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
        // Results that tell their run's mode are read by it, unless the command line says
        // otherwise.
        if (options.todaysWeb.value_or(
                glance.todaysWeb.value_or(settings->ReadInt("Settings", "TodaysWeb", 0) != 0)))
            repair.SetTodaysWeb(options.siteRoot.isEmpty()
                                    ? settings->ReadString("Settings", "SiteRoot", "")
                                    : options.siteRoot);
    }
    if (!options.dryRun)
        return repair.RepairFromReport(*report, options.repairType) ? 0 : kExitNotDone;
    const RepairPreview preview = repair.PreviewFromReport(*report, options.repairType);
    std::fwrite(preview.diff.constData(), 1, static_cast<std::size_t>(preview.diff.size()), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("vantrel-check: the diff cannot be written to standard output\n", err);
        return kExitBadInput;
    }
    if (preview.notes.isEmpty())
        return 0;
    std::fprintf(err, "%s\n", preview.notes.toLocal8Bit().constData());
    return kExitNotDone;
}
