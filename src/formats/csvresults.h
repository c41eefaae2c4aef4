#pragma once

#include "formats/resultsformatter.h"

// The results as CSV (RFC 4180: CR LF line ends, fields quoted where they
// hold a comma, a quote or a line break, quotes doubled), UTF-8, one row per
// tested link after a header row. Each row is written as its link is told.
class CCsvResultsWriter final : public ResultsFormatter
{
public:
    explicit CCsvResultsWriter(FormatOutput output) : m_output(std::move(output)) {}

    void RunStarted(const RunStart &) override { Open(); }
    void PageStarted(const PageStart &) override {}
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &) override {}
    void RunEnded(const RunEnd &) override {}
    void Finish() override { Open(); }

private:
    // Writes the header row, once.
    void Open();

    FormatOutput m_output;
    bool m_opened = false;
};
