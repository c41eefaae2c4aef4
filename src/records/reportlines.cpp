#include "reportlines.h"

namespace ReportLine {

QByteArray Start(const QByteArray &dateTime)
{
    return kStartLabel + dateTime + "\r\n\r\n";
}

QByteArray File(const QByteArray &path)
{
    return kFileLabel + path + "\r\n";
}

QByteArray Link(const QByteArray &url, const QByteArray &anchor)
{
    return '"' + url + "\" >" + anchor + "<\r\n";
}

QByteArray Result(bool failureWording, const QByteArray &categoryText)
{
    return (failureWording ? kFailureLabel : "*") + categoryText + "\r\n";
}

QByteArray MovedTo(const QByteArray &address, const QByteArray &resultText)
{
    return kMovedToLabel + address + " (" + resultText + ")\r\n";
}

QByteArray Summary(const QByteArray &path, int urlsTested, int urlErrors)
{
    return kSummaryLabel + path + ": URLs tested: " + QByteArray::number(urlsTested) +
           ". URL errors: " + QByteArray::number(urlErrors) + ".\r\n\r\n";
}

QByteArray End(const QByteArray &dateTime)
{
    return kEndLabel + dateTime + "\r\n\r\n";
}

QByteArray Stopped()
{
    return QByteArray(kStoppedText) + "\r\n";
}

QByteArray NotScanned(const QByteArray &path, const QString &why)
{
    return kNotScannedLabel + path + kNotScannedWhy + why.toLocal8Bit() + "\r\n\r\n";
}

std::optional<LinkLine> ReadLink(const QByteArray &line)
{
    const qsizetype closing = line.indexOf('"', 1);
    if (!line.startsWith('"') || closing < 0)
        return std::nullopt;
    return LinkLine{line.mid(1, closing - 1), line.mid(closing + 3, line.size() - closing - 4)};
}

std::optional<MovedToLine> ReadMovedTo(const QByteArray &line)
{
    if (!line.startsWith(kMovedToLabel) || !line.endsWith(')'))
        return std::nullopt;
    const QByteArray rest = line.mid(qsizetype(qstrlen(kMovedToLabel)));
    // The result text holds no parenthesis; the address may.
    const qsizetype open = rest.lastIndexOf(" (");
    if (open <= 0)
        return std::nullopt;
    return MovedToLine{rest.left(open), rest.mid(open + 2, rest.size() - open - 3)};
}

QList<QByteArray> Split(const QByteArray &report)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= report.size(); ++i) {
        if (i == report.size() || report.at(i) == '\r' || report.at(i) == '\n') {
            if (i > start)
                lines.append(report.mid(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

} // namespace ReportLine
