#include "savedreport.h"

#include <QFile>

std::optional<QByteArray> ReadSavedReport(const QByteArray &path, std::FILE *err)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(err, "vantrel-check: cannot read the report %s: %s\n", path.constData(),
                     file.errorString().toLocal8Bit().constData());
        return std::nullopt;
    }
    const QByteArray report = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        std::fprintf(err, "vantrel-check: cannot read the report %s: %s\n", path.constData(),
                     file.errorString().toLocal8Bit().constData());
        return std::nullopt;
    }
    return report;
}
