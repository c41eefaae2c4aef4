#pragma once

#include "formats/resultsformatter.h"
#include "formats/resulttally.h"
#include "formats/toolinfo.h"

// The results as JUnit XML, the test report CI servers show: one testsuite
// per page, one testcase per tested link, with a failure for each reported
// link. A testsuite's counts (the page's tested and reported links, which a
// saved report's summary tells though it lists only the reported ones) come
// before its cases, so one page's cases are held until the page is over;
// nothing more stays in memory.
class CJUnitResultsWriter final : public ResultsFormatter
{
public:
    CJUnitResultsWriter(ToolInfo tool, FormatOutput output);

    void RunStarted(const RunStart &) override;
    void PageStarted(const PageStart &page) override { m_tally.PageStarted(page); }
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override { m_tally.PageEnded(page); }
    void RunEnded(const RunEnd &) override { m_tally.EndOpenPage(); }
    void Finish() override;

private:
    // Writes the XML declaration and opens testsuites, once.
    void Open();
    void WriteSuite(const PageEnd &page);

    ToolInfo m_tool;
    FormatOutput m_output;
    ResultTally m_tally;
    bool m_opened = false;
    // The open page's test cases and the time they took.
    QByteArray m_cases;
    qint64 m_elapsedMs = 0;
};
