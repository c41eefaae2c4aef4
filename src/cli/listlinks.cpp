#include "listlinks.h"

#include "cli/checkoptions.h"
#include "cli/terminaltext.h"
#include "discovery/chosenfile.h"
#include "discovery/directorywalk.h"
#include "discovery/linkextractor.h"
#include "discovery/workfiles.h"

namespace {

constexpr int kExitWriteFailed = 1;
constexpr int kExitBadInput = 2;

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

    const LinkRule rule = options.todaysWeb ? LinkRule::TodaysWeb : LinkRule::Classic;
    bool allScanned = true;
    for (const QByteArray &file : QueueRunFiles(options.path, options.recurse, options.allFiles)) {
        QList<QByteArray> urls;
        QList<QByteArray> anchors;
        QString why;
        if (!ExtractLinks(file, splitCopyPath, urls, anchors, &why, rule)) {
            // A file that could not be scanned is not one without links.
            allScanned = false;
            const QByteArray message =
                "vantrel-check: could not scan " + file + " for links: " + why.toLocal8Bit();
            std::fprintf(err, "%s\n", ForStream(err, message, true).constData());
            continue;
        }
        QByteArray lines;
        for (qsizetype i = 0; i < urls.size(); ++i)
            lines += field(file) + '\t' + field(urls[i]) + '\t' + field(anchors[i]) + '\n';
        std::fwrite(lines.constData(), 1, lines.size(), out);
    }
    if (std::fflush(out) != 0 || std::ferror(out))
        return kExitWriteFailed;
    return allScanned ? 0 : kExitBadInput;
}
