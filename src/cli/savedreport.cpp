#include "savedreport.h"

#include <QFile>
#include <QFileInfo>

namespace {

// A report of a quarter of a million links is some tens of megabytes; a file
// far beyond that is not a report.
constexpr qint64 kMaxReportBytes = qint64(512) * 1024 * 1024;

std::nullopt_t Refuse(const QByteArray &path, const QString &why, std::FILE *err)
{
    TellReportUnread(path, why, err);
    return std::nullopt;
}

} // namespace

void TellReportUnread(const QByteArray &path, const QString &why, std::FILE *err)
{
    std::fprintf(err, "vantrel-check: cannot read the report %s: %s\n", path.constData(),
                 why.toLocal8Bit().constData());
}

std::optional<QByteArray> ReadSavedReport(const QByteArray &path, std::FILE *err)
{
    // Only a regular file: reading a FIFO or a device would wait or read forever.
    const QFileInfo info(QFile::decodeName(path));
    if (info.exists() && !info.isFile())
        return Refuse(path, QStringLiteral("it is not a regular file"), err);
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(path, file.errorString(), err);
    if (file.size() > kMaxReportBytes)
        return Refuse(path, QStringLiteral("it is too large to be a report"), err);
    const QByteArray report = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Refuse(path, file.errorString(), err);
    return report;
}
