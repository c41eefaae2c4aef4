#include "reportfile.h"

#include "platform/atomicfile.h"

bool SaveReportFile(const QByteArray &path, const QByteArray &report, std::FILE *err)
{
    AtomicFileWriter file(path);
    if (file.Open() && file.Write(report) && file.Commit())
        return true;
    std::fprintf(err, "vantrel-check: the report was not written to %s: %s\n", path.constData(),
                 file.ErrorString().toLocal8Bit().constData());
    return false;
}
