#include "markdownresults.h"

#include <string_view>

#include "formats/fieldtext.h"
#include "records/movedto.h"

namespace {

// Characters that would be read as Markdown (emphasis, code, links, HTML,
// entities, strike-through, maths) or that end a table cell.
constexpr std::string_view kMarkup = "\\`*_[]<>&|~$";

bool IsMarkup(char16_t code)
{
    return code < 0x80 && kMarkup.find(char(code)) != std::string_view::npos;
}

bool IsControl(char16_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// The text for a table cell, shown as it is: markup characters escaped with a
// backslash, line breaks as <br>, control characters as "\xNN".
QByteArray Cell(const QString &text)
{
    QString cell;
    cell.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == '\r' || code == '\n') {
            cell += QStringLiteral("<br>");
        } else if (IsControl(code)) {
            cell += ShownCharacter(c);
        } else {
            if (IsMarkup(code))
                cell += QLatin1Char('\\');
            cell += c;
        }
    }
    return cell.toUtf8();
}

QByteArray Cell(const QByteArray &bytes)
{
    // C1 controls begin with 0xC2 in UTF-8: a field with one is escaped.
    if (IsPlainUtf8(bytes, kMarkup) && !bytes.contains('\x7F') && !bytes.contains('\xC2'))
        return bytes;
    return Cell(FieldText(bytes));
}

QByteArray Count(long long count, const char *one, const char *many)
{
    return QByteArray::number(count) + ' ' + (count == 1 ? one : many);
}

} // namespace

CMarkdownResultsWriter::CMarkdownResultsWriter(ToolInfo tool, FormatOutput output)
    : m_tool(std::move(tool)), m_output(std::move(output)), m_tally([this](const PageEnd &page) {
          if (page.scanError)
              m_notScanned += "| " + Cell(page.path) + " | " + Cell(*page.scanError) + " |\n";
      })
{}

void CMarkdownResultsWriter::LinkTested(const LinkRecord &link)
{
    m_tally.LinkTested(link);
    if (!link.reported)
        return;
    QByteArray place = Cell(link.page);
    if (link.line > 0)
        place += ':' + QByteArray::number(link.line);
    QByteArray result = CategoryText(link.category);
    if (const QByteArray movedTo = MovedToText(link); !movedTo.isEmpty())
        result += "; moved to " + movedTo;
    m_reportedRows += "| " + place + " | " + Cell(link.url) + " | " + Cell(result) + " |\n";
}

void CMarkdownResultsWriter::RunEnded(const RunEnd &end)
{
    m_tally.EndOpenPage();
    m_stopped = m_stopped || end.stopped;
}

void CMarkdownResultsWriter::Finish()
{
    m_tally.EndOpenPage();
    QByteArray text = "## Link check results\n\n" + Count(m_tally.Tested(), "link", "links") +
                      " tested on " + Count(m_tally.Pages(), "page", "pages") + ", " +
                      QByteArray::number(m_tally.Reported()) + " reported.\n";
    if (m_stopped)
        text += "\nTesting Stopped by User: not every link was tested.\n";
    QByteArray counts;
    for (int i = 0; i <= static_cast<int>(ResultCategory::FtpAnswered); ++i) {
        const auto category = static_cast<ResultCategory>(i);
        if (m_tally.CountOf(category) > 0)
            counts += "| " + Cell(CategoryText(category)) + " | " +
                      QByteArray::number(m_tally.CountOf(category)) + " |\n";
    }
    if (!counts.isEmpty())
        text += "\n| Result | Links |\n| --- | ---: |\n" + counts;
    text += "\n### Reported links\n\n";
    text += m_reportedRows.isEmpty()
                ? QByteArray("No link was reported.\n")
                : "| Page | Link | Result |\n| --- | --- | --- |\n" + m_reportedRows;
    if (!m_notScanned.isEmpty())
        text += "\n### Pages not scanned\n\n| Page | Why |\n| --- | --- |\n" + m_notScanned;
    const QString by = (m_tool.name + QLatin1Char(' ') + m_tool.version).trimmed();
    if (!by.isEmpty())
        text += "\n_" + Cell(by) + "_\n";
    m_output(text);
}
