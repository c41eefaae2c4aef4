#include "reporttextwriter.h"

#include "records/movedto.h"
#include "records/reportlines.h"

void CReportTextWriter::RunStarted(const RunStart &start)
{
    m_append(ReportLine::Start(start.startedText));
}

void CReportTextWriter::PageStarted(const PageStart &page)
{
    m_append(page.scanError ? ReportLine::NotScanned(page.path, *page.scanError)
                            : ReportLine::File(page.path));
}

void CReportTextWriter::LinkTested(const LinkRecord &link)
{
    if (!link.reported)
        return;
    // The report names a link by the address it was tested at.
    m_append(ReportLine::Link(link.target.isEmpty() ? link.url : link.target, link.text));
    m_append(ReportLine::Result(HasFailureWording(link.category), CategoryText(link.category)));
    if (!link.redirects.empty())
        m_append(ReportLine::MovedTo(link.redirects.back().url, CategoryText(MovedToResult(link))));
}

void CReportTextWriter::PageEnded(const PageEnd &page)
{
    if (!page.scanError)
        m_append(ReportLine::Summary(page.path, page.tested, page.errors));
}

void CReportTextWriter::RunEnded(const RunEnd &end)
{
    m_append(end.stopped ? ReportLine::Stopped() : ReportLine::End(end.endedText));
}
