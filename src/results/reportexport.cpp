#include "reportexport.h"

#include <sys/stat.h>

#include "engine/engineui.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "results/htmlreport.h"
#include "settings/regsettings.h"

namespace {

// Anything at the path counts, whether or not it can be read: a file that
// cannot be opened, or a link to a file not made yet, is still asked about.
bool FileExists(const QByteArray &path)
{
    struct stat info
    {};
    return lstat(path.constData(), &info) == 0;
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
