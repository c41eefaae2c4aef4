#include "htmlreport.h"

#include <pwd.h>
#include <unistd.h>

#include <QList>

namespace {

// The lines of the report, cut at every CR and LF, empty ones left out.
QList<QByteArray> ReportLines(const QByteArray &report)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= report.size(); ++i) {
        if (i == report.size() || report.at(i) == '\r' || report.at(i) == '\n') {
            if (i > start)
                lines.append(report.mid(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// A reported link line: a double quote, the URL, a double quote, " >", the
// anchor text and "<". A line without its second double quote yields nothing.
QByteArray LinkItem(const QByteArray &line)
{
    const qsizetype closing = line.indexOf('"', 1);
    if (closing < 0)
        return {};
    const QByteArray url = line.mid(1, closing - 1);
    const qsizetype anchorStart = closing + 3;
    const qsizetype anchorEnd = line.size() - 1;
    const QByteArray anchor =
        anchorStart < anchorEnd ? line.mid(anchorStart, anchorEnd - anchorStart) : QByteArray();
    return "\n<li><a href=\"" + EscapeHtml(url) + "\">" + EscapeHtml(anchor) + "</a>";
}

} // namespace

QByteArray EscapeHtml(const QByteArray &text)
{
    QByteArray escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray BuildHtmlReport(const QByteArray &report, const QByteArray &userName,
                           const QByteArray &dateTime)
{
    QByteArray page = "<HTML>\n<HEAD>\n<TITLE>Vantrel Results</TITLE>\n</HEAD>\n<BODY>\n<H3>"
                      "<A HREF=\"" +
                      QByteArray(kHomePageAddress) + "\">Vantrel</A> results for " +
                      EscapeHtml(userName) + "</H3>\n<b>Start of test: </b>" +
                      EscapeHtml(dateTime) + "\n";
    for (const QByteArray &line : ReportLines(report)) {
        const QByteArray rest = EscapeHtml(line.mid(1));
        switch (line.at(0)) {
        case '"':
            page += LinkItem(line);
            break;
        case '*':
            page += " " + rest + "\n";
            break;
        case '<':
            page += "<hr>\n" + rest + "\n<ul>\n";
            break;
        case '>':
            page += "</ul>\n" + rest + "\n";
            break;
        default:
            break;
        }
    }
    page += "\n</ul>\n<hr>\n\n</BODY>\n</HTML>\n";
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
