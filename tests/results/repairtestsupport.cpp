#include "repairtestsupport.h"

ReportBuilder &ReportBuilder::File(const QByteArray &path)
{
    m_current = path;
    m_links = 0;
    m_report += "<Testing: " + path + "\r\n";
    return *this;
}

ReportBuilder &ReportBuilder::Link(const QByteArray &url, const QByteArray &anchor)
{
    ++m_links;
    m_report +=
        '"' + url + "\" >" + anchor + "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
    return *this;
}

ReportBuilder &ReportBuilder::Summary()
{
    m_report += ">Results for " + m_current + ": URLs tested: " + QByteArray::number(m_links) +
                ". URL errors: " + QByteArray::number(m_links) + ".\r\n\r\n";
    return *this;
}

void RunRepair(RepairRun &run, const QByteArray &report, int type)
{
    const CWorkFiles workFiles;
    CLinkRepair repair(run.ui, workFiles);
    run.completed = repair.RepairFromReport(report, type);
}

QString NotFoundText(const QByteArray &path, const QByteArray &url)
{
    return QStringLiteral("We looked in file\n%1\nbut could not file the URL\n%2")
        .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(url));
}

QList<QByteArray> SplitLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            lines.append(text.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}
