#pragma once

#include <optional>

#include <QDateTime>

#include "formats/resultsformatter.h"
#include "formats/resulttally.h"
#include "formats/toolinfo.h"

// The results as one JSON document (docs/results.schema.json describes it):
// the links array is written link by link as the run goes; the pages, the
// totals and the run's times, which only the end knows, follow it. Only the
// pages stay in memory, never the links.
class CJsonResultsWriter final : public ResultsFormatter
{
public:
    CJsonResultsWriter(ToolInfo tool, FormatOutput output);

    void RunStarted(const RunStart &start) override;
    void PageStarted(const PageStart &page) override;
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override;
    void RunEnded(const RunEnd &end) override;
    void Finish() override;

private:
    // Writes the document's head and opens the links array, once.
    void Open();

    ToolInfo m_tool;
    FormatOutput m_output;
    ResultTally m_tally;
    bool m_opened = false;
    bool m_anyLink = false;
    QByteArray m_pages;
    int m_runs = 0;
    QDateTime m_started;
    QDateTime m_ended;
    bool m_stopped = false;
    // The runs' mode while they all agree and tell it.
    std::optional<bool> m_todaysWeb;
    bool m_modeKnown = true;
};
