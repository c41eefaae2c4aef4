#include "htmlreport.h"

#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <utility>

#include <QList>

#include "records/reportlines.h"
#include "results/htmltext.h"

namespace {

using ReportLine::kEndLabel;
using ReportLine::kStartLabel;
using ReportLine::kStoppedText;

bool IsBlank(const QByteArray &text)
{
    return text.trimmed().isEmpty();
}

// Writes the body, keeping every list balanced: a list opens with its file's
// "Testing: " line (or with an item that comes without one) and closes before
// whatever follows its items.
class HtmlBody
{
public:
    explicit HtmlBody(QByteArray &page) : m_page(page) {}

    void Line(const QByteArray &line)
    {
        const bool afterResult = std::exchange(m_bAfterResult, false);
        switch (line.at(0)) {
        case '"':
            Link(line);
            break;
        case '*':
            if (const std::optional<ReportLine::MovedToLine> moved = ReportLine::ReadMovedTo(line);
                moved && afterResult)
                MovedTo(*moved);
            else
                Result(line.mid(1));
            break;
        case '<':
            CloseList();
            m_page += "<hr>\n";
            Paragraph({}, line.mid(1));
            m_page += "<ul>\n";
            m_bListOpen = true;
            break;
        case '>':
            CloseList();
            Paragraph({}, line.mid(1));
            break;
        default:
            RunLine(line);
        }
    }

    // A run's start, end or stop line, by its label.
    void RunLine(const QByteArray &line)
    {
        if (line.startsWith(kStartLabel)) {
            CloseList();
            Paragraph("Start of test: ", line.mid(sizeof kStartLabel - 1));
        } else if (line.startsWith(kEndLabel)) {
            CloseList();
            Paragraph("End of test: ", line.mid(sizeof kEndLabel - 1));
        } else if (line == kStoppedText) {
            CloseList();
            Paragraph({}, line);
        }
    }

    void CloseList()
    {
        FlushItem();
        if (m_bListOpen)
            m_page += "</ul>\n";
        m_bListOpen = false;
    }

private:
    // A reported link line; one without its second double quote yields
    // nothing.
    void Link(const QByteArray &line)
    {
        FlushItem();
        const std::optional<ReportLine::LinkLine> link = ReportLine::ReadLink(line);
        if (!link)
            return;
        m_item = "<li><a href=\"";
        AppendPageAddress(m_item, link->url);
        m_item += "\">";
        // An empty link text would leave nothing to see or click.
        AppendPageText(m_item, IsBlank(link->text) ? link->url : link->text);
        m_item += "</a>";
    }

    void Result(const QByteArray &text)
    {
        if (m_item.isEmpty())
            m_item = "<li>";
        m_item += ' ';
        AppendPageText(m_item, text);
        FlushItem();
        m_bAfterResult = true;
    }

    // Where the link of the item just written leads: said in that item, the
    // address as a link of its own.
    void MovedTo(const ReportLine::MovedToLine &moved)
    {
        m_page.chop(qstrlen("</li>\n"));
        m_page += " Moved to: <a href=\"";
        AppendPageAddress(m_page, moved.address);
        m_page += "\">";
        AppendPageText(m_page, moved.address);
        m_page += "</a> (";
        AppendPageText(m_page, moved.resultText);
        m_page += ")</li>\n";
    }

    void FlushItem()
    {
        if (m_item.isEmpty())
            return;
        if (!m_bListOpen)
            m_page += "<ul>\n";
        m_bListOpen = true;
        m_page += m_item + "</li>\n";
        m_item.clear();
    }

    void Paragraph(const QByteArray &label, const QByteArray &text)
    {
        m_page += "<p>";
        if (!label.isEmpty())
            m_page += "<b>" + label + "</b>";
        AppendPageText(m_page, text);
        m_page += "</p>\n";
    }

    QByteArray &m_page;
    QByteArray m_item;
    bool m_bListOpen = false;
    // The last line was a result, whose item ends the page so far.
    bool m_bAfterResult = false;
};

} // namespace

QByteArray BuildHtmlReport(const QByteArray &report, const QByteArray &userName,
                           const QByteArray &dateTime)
{
    const QList<QByteArray> lines = ReportLine::Split(report);
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>Vantrel Results</title>\n</head>\n<body>\n<h3><a href=\"" +
                      QByteArray(kHomePageAddress) + "\">Vantrel</a> results for ";
    AppendPageText(page, userName);
    page += "</h3>\n";
    HtmlBody body(page);
    if (lines.isEmpty() || !lines.first().startsWith(kStartLabel))
        body.RunLine(kStartLabel + dateTime);
    for (const QByteArray &line : lines)
        body.Line(line);
    body.CloseList();
    page += "<hr>\n</body>\n</html>\n";
    return page;
}

QByteArray UserDisplayName()
{
    if (const passwd *account = getpwuid(getuid())) {
        const QByteArray fullName = QByteArray(account->pw_gecos).split(',').first().trimmed();
        if (!fullName.isEmpty())
            return fullName;
        if (account->pw_name != nullptr && *account->pw_name != '\0')
            return account->pw_name;
    }
    return qgetenv("USER");
}
