#include "listlinks.h"

#include "cli/checkoptions.h"
#include "cli/runchoices.h"
#include "cli/terminaltext.h"
#include "discovery/chosenfile.h"
#include "discovery/directorywalk.h"
#include "discovery/linkextractor.h"
#include "discovery/linklocator.h"
#include "discovery/pagelinks.h"
#include "discovery/workfiles.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

namespace {

constexpr int kExitWriteFailed = 1;
constexpr int kExitBadInput = 2;

void ReportScanFailure(std::FILE *err, const QByteArray &file, const QString &why)
{
    const QByteArray message =
        "vantrel-check: could not scan " + file + " for links: " + why.toLocal8Bit();
    std::fprintf(err, "%s\n", ForStream(err, message, true).constData());
}

} // namespace

int ListLinks(const CheckOptions &options, std::FILE *out, std::FILE *err)
{
    if (!CanOpenChosenFile(options.path)) {
        std::fputs("The chosen file does not exist\n", err);
        return kExitBadInput;
    }
    const CWorkFiles workFiles;
    const QByteArray splitCopyPath = workFiles.WorkFilePath("2");
    // On a terminal each field shows its control bytes visibly (a TAB or a
    // line break inside a field too, so the columns stay apart); into a file
    // or a pipe the fields go byte for byte.
    const bool terminal = IsTerminal(out);
    const auto field = [terminal](const QByteArray &bytes) {
        return terminal ? ShowControlBytes(bytes, false) : bytes;
    };

    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    const bool todaysWeb =
        options.todaysWeb.value_or(settings->ReadInt("Settings", "TodaysWeb", 0) != 0);
    QByteArray siteRoot = options.siteRoot.isEmpty()
                              ? settings->ReadString("Settings", "SiteRoot", "")
                              : options.siteRoot;
    if (siteRoot.isEmpty())
        siteRoot = RunDirectory(options.path);
    const std::optional<CLinkExclusions> exclusions =
        ChosenExclusions(options, *settings, siteRoot, err);
    if (!exclusions)
        return kExitBadInput;
    const std::optional<CResultCache> cache = ChosenCache(options, err);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // A link a run would not probe says why instead of its kind.
    const auto kind = [&](const QByteArray &address, const QByteArray &found) -> QByteArray {
        if (exclusions->Matches(address))
            return "excluded";
        if (cache && cache->Lookup(address, todaysWeb, now))
            return "cached";
        return found;
    };
    bool allScanned = true;
    for (const QByteArray &file : QueueRunFiles(options.path, options.recurse, options.allFiles)) {
        QByteArray lines;
        if (todaysWeb) {
            QByteArray page;
            QString why;
            if (!ReadPage(file, page, &why)) {
                allScanned = false;
                ReportScanFailure(err, file, why);
                continue;
            }
            for (const PageLink &link :
                 ReadPageLinks(std::string_view(page.constData(), page.size()), file, siteRoot)) {
                // A line break or TAB inside the value would break the line apart.
                QByteArray written = link.written;
                written.replace('\t', ' ').replace('\n', ' ').replace('\r', ' ');
                lines +=
                    field(file) + '\t' + field(written) + '\t' + field(link.text) + '\t' +
                    QByteArray::number(link.line) + '\t' +
                    (link.kind == LinkKind::Skipped ? LinkKindName(link.kind)
                                                    : kind(link.target, LinkKindName(link.kind))) +
                    '\t' + field(link.target) + '\n';
            }
        } else {
            QList<QByteArray> urls;
            QList<QByteArray> anchors;
            QString why;
            if (!ExtractLinks(file, splitCopyPath, urls, anchors, &why)) {
                // A file that could not be scanned is not one without links.
                allScanned = false;
                ReportScanFailure(err, file, why);
                continue;
            }
            CLinkLocator locator = CLinkLocator::ForPage(file);
            for (qsizetype i = 0; i < urls.size(); ++i) {
                lines += field(file) + '\t' + field(urls[i]) + '\t' + field(anchors[i]) + '\t' +
                         QByteArray::number(locator.Locate(urls[i]).line) + '\t' +
                         kind(urls[i], "external") + '\n';
            }
        }
        std::fwrite(lines.constData(), 1, lines.size(), out);
    }
    if (std::fflush(out) != 0 || std::ferror(out))
        return kExitWriteFailed;
    return allScanned ? 0 : kExitBadInput;
}
