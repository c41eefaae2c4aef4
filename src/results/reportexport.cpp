#include "reportexport.h"

#include <sys/stat.h>

#include "engine/engineui.h"
#include "formats/resultformat.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "results/htmlreport.h"
#include "settings/regsettings.h"

QString ReplaceQuestion(const QByteArray &path)
{
    return QStringLiteral("%1\nThis file already exists\n\nReplace existing file?")
        .arg(QString::fromLocal8Bit(path));
}

bool ExportTargetExists(const QByteArray &path)
{
    struct stat info
    {};
    return lstat(path.constData(), &info) == 0;
}

namespace {

QByteArray ExportContent(int format, const QByteArray &report)
{
    switch (format) {
    case ExportChoice::Text:
        return report;
    case ExportChoice::Json:
        return FormatReportText(ResultFormat::Json, report, RunningTool());
    case ExportChoice::Csv:
        return FormatReportText(ResultFormat::Csv, report, RunningTool());
    case ExportChoice::JUnit:
        return FormatReportText(ResultFormat::JUnit, report, RunningTool());
    case ExportChoice::Markdown:
        return FormatReportText(ResultFormat::Markdown, report, RunningTool());
    default:
        return BuildHtmlReport(report, UserDisplayName(), LongDateTimeText());
    }
}

} // namespace

bool WriteExport(const ExportChoice &choice, const QByteArray &report, QString *why)
{
    if (choice.path.isEmpty()) {
        *why = QStringLiteral("no file named");
        return false;
    }
    const QByteArray content = ExportContent(choice.format, report);
    AtomicFileWriter file(choice.path);
    if (file.Open() && file.Write(content) && file.Commit())
        return true;
    *why = file.ErrorString();
    return false;
}

ExportOutcome ExportReport(const ExportChoice &choice, const QByteArray &report, EngineUi &ui,
                           CRegSettings *remember)
{
    if (ExportTargetExists(choice.path) && !ui.AskYesNo(ReplaceQuestion(choice.path)))
        return ExportOutcome::Declined;
    if (remember != nullptr) {
        remember->WriteString("XportSel", "Starter", choice.path);
        remember->WriteInt("XportSel", "Text", choice.format);
    }
    QString why;
    if (!WriteExport(choice, report, &why)) {
        ui.MessageBox(QStringLiteral("file write error"), EngineUi::Icon::None);
        return ExportOutcome::WriteError;
    }
    return ExportOutcome::Written;
}
