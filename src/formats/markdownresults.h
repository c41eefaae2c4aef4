#pragma once

#include "formats/resultsformatter.h"
#include "formats/resulttally.h"
#include "formats/toolinfo.h"

// The results as Markdown for a CI job's summary: the counts, a table of the
// links per category, and a table of the reported links (page and line, link,
// result). The summary comes first, so the reported rows (and the pages that
// could not be scanned) are held until the end; the other links are only
// counted.
class CMarkdownResultsWriter final : public ResultsFormatter
{
public:
    CMarkdownResultsWriter(ToolInfo tool, FormatOutput output);

    void RunStarted(const RunStart &) override { m_tally.EndOpenPage(); }
    void PageStarted(const PageStart &page) override { m_tally.PageStarted(page); }
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override { m_tally.PageEnded(page); }
    void RunEnded(const RunEnd &end) override;
    void Finish() override;

private:
    ToolInfo m_tool;
    FormatOutput m_output;
    ResultTally m_tally;
    QByteArray m_reportedRows;
    QByteArray m_notScanned;
    bool m_stopped = false;
};
