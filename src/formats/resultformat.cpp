#include "resultformat.h"

#include "formats/csvresults.h"
#include "formats/jsonresults.h"
#include "formats/junitresults.h"
#include "formats/markdownresults.h"
#include "formats/placedlinks.h"
#include "records/reporttextreader.h"

std::optional<ResultFormat> ResultFormatNamed(const QByteArray &name)
{
    if (name == "json")
        return ResultFormat::Json;
    if (name == "csv")
        return ResultFormat::Csv;
    if (name == "junit")
        return ResultFormat::JUnit;
    if (name == "markdown")
        return ResultFormat::Markdown;
    return std::nullopt;
}

std::unique_ptr<ResultsFormatter> MakeResultsFormatter(ResultFormat format, const ToolInfo &tool,
                                                       FormatOutput output)
{
    switch (format) {
    case ResultFormat::Json:
        return std::make_unique<CJsonResultsWriter>(tool, std::move(output));
    case ResultFormat::Csv:
        return std::make_unique<CCsvResultsWriter>(std::move(output));
    case ResultFormat::JUnit:
        return std::make_unique<CJUnitResultsWriter>(tool, std::move(output));
    case ResultFormat::Markdown:
        break;
    }
    return std::make_unique<CMarkdownResultsWriter>(tool, std::move(output));
}

QByteArray FormatReportText(ResultFormat format, const QByteArray &report, const ToolInfo &tool)
{
    QByteArray text;
    const std::unique_ptr<ResultsFormatter> formatter =
        MakeResultsFormatter(format, tool, [&text](const QByteArray &piece) { text += piece; });
    CPlacedLinks placed(*formatter);
    ReadReportText(report, placed);
    formatter->Finish();
    return text;
}
