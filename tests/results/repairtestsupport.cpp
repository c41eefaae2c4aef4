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
