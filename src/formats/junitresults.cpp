#include "junitresults.h"

#include <string_view>

#include "formats/fieldtext.h"
#include "records/movedto.h"

namespace {

// Characters that XML 1.0 cannot hold at all, even as a reference.
bool IsForbiddenInXml(char16_t code)
{
    return (code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0xFFFE ||
           code == 0xFFFF;
}

// The text escaped for an attribute value (in double quotes) or for element
// content. Line breaks and tabs in an attribute are references, which a
// reader's normalising does not turn into spaces; a CR in content is one too,
// or a reader would read CR LF as LF.
QByteArray Escaped(const QString &text, bool attribute)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (IsForbiddenInXml(code))
            escaped += ShownCharacter(c);
        else if (code == '&')
            escaped += QStringLiteral("&amp;");
        else if (code == '<')
            escaped += QStringLiteral("&lt;");
        else if (code == '>')
            escaped += QStringLiteral("&gt;");
        else if (attribute && code == '"')
            escaped += QStringLiteral("&quot;");
        else if (code == '\r' || (attribute && (code == '\n' || code == '\t')))
            escaped += QStringLiteral("&#%1;").arg(int(code));
        else
            escaped += c;
    }
    return escaped.toUtf8();
}

// Bytes of U+FFFE and U+FFFF begin with 0xEF: a field with one is escaped.
constexpr std::string_view kXmlSpecial = "&<>\"\xEF";

QByteArray Attribute(const QByteArray &bytes)
{
    return IsPlainUtf8(bytes, kXmlSpecial) ? bytes : Escaped(FieldText(bytes), true);
}

QByteArray Content(const QByteArray &bytes)
{
    return IsPlainUtf8(bytes, kXmlSpecial) ? bytes : Escaped(FieldText(bytes), false);
}

QByteArray Seconds(qint64 milliseconds)
{
    return QByteArray::number(double(milliseconds) / 1000.0, 'f', 3);
}

} // namespace

CJUnitResultsWriter::CJUnitResultsWriter(ToolInfo tool, FormatOutput output)
    : m_tool(std::move(tool)), m_output(std::move(output)),
      m_tally([this](const PageEnd &page) { WriteSuite(page); })
{}

void CJUnitResultsWriter::Open()
{
    if (std::exchange(m_opened, true))
        return;
    const QString name = (m_tool.name + QLatin1Char(' ') + m_tool.version).trimmed();
    m_output("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" +
             Escaped(name, true) + "\">\n");
}

void CJUnitResultsWriter::RunStarted(const RunStart &)
{
    Open();
    m_tally.EndOpenPage();
}

void CJUnitResultsWriter::LinkTested(const LinkRecord &link)
{
    Open();
    m_tally.LinkTested(link);
    m_elapsedMs += link.elapsedMs;
    m_cases += "<testcase name=\"" + Attribute(link.url) + "\" classname=\"" +
               Attribute(link.page) + "\" time=\"" + Seconds(link.elapsedMs) + '"';
    if (!link.reported) {
        m_cases += "/>\n";
        return;
    }
    const QByteArray category = Attribute(CategoryText(link.category));
    m_cases += ">\n<failure message=\"" + category + "\" type=\"" + category +
               "\">Link: " + Content(link.url) + "\nText: " + Content(link.text);
    if (!link.target.isEmpty())
        m_cases += "\nTarget: " + Content(link.target);
    if (const QByteArray movedTo = MovedToText(link); !movedTo.isEmpty())
        m_cases += "\nMoved to: " + Content(movedTo);
    if (link.line > 0)
        m_cases += "\nLine: " + QByteArray::number(link.line) +
                   (link.column > 0 ? ", column " + QByteArray::number(link.column) : "");
    m_cases += "</failure>\n</testcase>\n";
}

void CJUnitResultsWriter::WriteSuite(const PageEnd &page)
{
    QByteArray suite = "<testsuite name=\"" + Attribute(page.path) + "\" tests=\"" +
                       QByteArray::number(page.tested) + "\" failures=\"" +
                       QByteArray::number(page.errors) + "\" errors=\"0\" skipped=\"0\" time=\"" +
                       Seconds(m_elapsedMs) + "\">\n" + m_cases;
    if (page.scanError)
        suite += "<system-err>Could not scan " + Content(page.path) +
                 " for links: " + Escaped(*page.scanError, false) + "</system-err>\n";
    m_output(suite + "</testsuite>\n");
    m_cases.clear();
    m_elapsedMs = 0;
}

void CJUnitResultsWriter::Finish()
{
    Open();
    m_tally.EndOpenPage();
    m_output("</testsuites>\n");
}
