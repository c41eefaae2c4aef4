#pragma once

#include <memory>
#include <optional>

#include <QByteArray>

#include "formats/resultsformatter.h"
#include "formats/toolinfo.h"

// The machine-readable formats of results.
enum class ResultFormat
{
    Json,
    Csv,
    JUnit,
    Markdown
};

// The format a command line names: "json", "csv", "junit" or "markdown".
std::optional<ResultFormat> ResultFormatNamed(const QByteArray &name);

std::unique_ptr<ResultsFormatter> MakeResultsFormatter(ResultFormat format, const ToolInfo &tool,
                                                       FormatOutput output);

// A report text (a saved report, or the results window's) in the format. A
// report lists only the reported links, without their places in their pages:
// those are found in the pages that can still be read.
QByteArray FormatReportText(ResultFormat format, const QByteArray &report, const ToolInfo &tool);
