#include "reportexport.h"

#include <fcntl.h>

#include "engine/engineui.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/longpath.h"
#include "results/htmlreport.h"
#include "settings/regsettings.h"

namespace {

bool FileExists(const QByteArray &path)
{
    return UniqueFd(OpenLongPath(path, O_RDONLY | O_NONBLOCK)).IsValid();
}

} // namespace

QString ReplaceQuestion(const QByteArray &path)
{
    return QStringLiteral("%1\nThis file already exists\n\nReplace existing file?")
        .arg(QString::fromLocal8Bit(path));
}

ExportOutcome ExportReport(const ExportChoice &choice, const QByteArray &report, EngineUi &ui,
                           CRegSettings *remember)
{
    if (FileExists(choice.path) && !ui.AskYesNo(ReplaceQuestion(choice.path)))
        return ExportOutcome::Declined;
    if (remember != nullptr) {
        remember->WriteString("XportSel", "Starter", choice.path);
        remember->WriteInt("XportSel", "Text", choice.format);
    }

    const QByteArray content = choice.format == ExportChoice::Text
                                   ? report
                                   : BuildHtmlReport(report, UserDisplayName(), LongDateTimeText());
    AtomicFileWriter file(choice.path);
    if (choice.path.isEmpty() || !file.Open() || !file.Write(content) || !file.Commit()) {
        ui.MessageBox(QStringLiteral("file write error"), EngineUi::Icon::None);
        return ExportOutcome::WriteError;
    }
    return ExportOutcome::Written;
}
