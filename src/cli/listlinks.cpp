#include "listlinks.h"

#include "cli/checkoptions.h"
#include "discovery/chosenfile.h"
#include "discovery/directorywalk.h"
#include "discovery/linkextractor.h"
#include "discovery/workfiles.h"

namespace {

void WriteBytes(std::FILE *out, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, bytes.size(), out);
}

} // namespace

int ListLinks(const CheckOptions &options, std::FILE *out, std::FILE *err)
{
    if (!CanOpenChosenFile(options.path)) {
        std::fputs("The chosen file does not exist\n", err);
        return 2;
    }
    const CWorkFiles workFiles;
    const QByteArray splitCopyPath = workFiles.WorkFilePath("2");
    if (splitCopyPath.isEmpty())
        std::fputs("vantrel-check: no system directory to keep work files in (set VANTREL_HOME)\n",
                   err);

    for (const QByteArray &file : QueueRunFiles(options.path, options.recurse, options.allFiles)) {
        QList<QByteArray> urls;
        QList<QByteArray> anchors;
        if (!ExtractLinks(file, splitCopyPath, urls, anchors)) {
            std::fprintf(err, "vantrel-check: could not scan %s\n", file.constData());
        }
        for (qsizetype i = 0; i < urls.size(); ++i) {
            WriteBytes(out, file + '\t' + urls[i] + '\t' + anchors[i] + '\n');
        }
    }
    return std::fflush(out) == 0 ? 0 : 1;
}
