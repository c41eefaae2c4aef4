#include "jsonresults.h"

#include "formats/fieldtext.h"

namespace {

// Version of the document's layout, raised when a reader would have to change.
constexpr int kFormatVersion = 1;

QByteArray Quoted(const QString &text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
            quoted += c;
        } else if (c.unicode() < 0x20) {
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            quoted += c;
        }
    }
    quoted += QLatin1Char('"');
    return quoted.toUtf8();
}

QByteArray Quoted(const QByteArray &bytes)
{
    if (IsPlainUtf8(bytes, "\"\\"))
        return '"' + bytes + '"';
    return Quoted(FieldText(bytes));
}

QByteArray QuotedOrNull(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QByteArray("null") : Quoted(bytes);
}

QByteArray Time(const QDateTime &time)
{
    return time.isValid() ? Quoted(time.toUTC().toString(Qt::ISODate)) : QByteArray("null");
}

QByteArray Bool(bool value)
{
    return value ? "true" : "false";
}

QByteArray Number(long long value)
{
    return QByteArray::number(value);
}

QByteArray LinkObject(const LinkRecord &link)
{
    QByteArray redirects;
    for (const Redirect &step : link.redirects) {
        if (!redirects.isEmpty())
            redirects += ',';
        redirects += "{\"url\":" + Quoted(step.url) + ",\"code\":" + Number(step.code) + '}';
    }
    return "{\"page\":" + Quoted(link.page) + ",\"line\":" + Number(link.line) +
           ",\"column\":" + Number(link.column) + ",\"url\":" + Quoted(link.url) +
           ",\"target\":" + QuotedOrNull(link.target) + ",\"text\":" + Quoted(link.text) +
           ",\"category\":" + Quoted(CategoryText(link.category)) +
           ",\"code\":" + (link.code ? Number(*link.code) : QByteArray("null")) +
           ",\"ok\":" + Bool(IsOk(link.category)) + ",\"reported\":" + Bool(link.reported) +
           ",\"cached\":" + Bool(link.cached) + ",\"redirects\":[" + redirects +
           "],\"elapsedMs\":" + Number(link.elapsedMs) + '}';
}

} // namespace

CJsonResultsWriter::CJsonResultsWriter(ToolInfo tool, FormatOutput output)
    : m_tool(std::move(tool)), m_output(std::move(output)), m_tally([this](const PageEnd &page) {
          m_pages += (m_pages.isEmpty() ? "\n" : ",\n");
          m_pages +=
              "{\"path\":" + Quoted(page.path) + ",\"tested\":" + Number(page.tested) +
              ",\"errors\":" + Number(page.errors) + ",\"excluded\":" + Number(page.excluded) +
              ",\"scanError\":" + (page.scanError ? Quoted(*page.scanError) : QByteArray("null")) +
              '}';
      })
{}

void CJsonResultsWriter::Open()
{
    if (std::exchange(m_opened, true))
        return;
    m_output("{\"version\":" + Number(kFormatVersion) + ",\"tool\":{\"name\":" +
             Quoted(m_tool.name) + ",\"version\":" + Quoted(m_tool.version) + "},\n\"links\":[");
}

void CJsonResultsWriter::RunStarted(const RunStart &start)
{
    Open();
    m_tally.EndOpenPage();
    if (m_runs++ == 0) {
        m_started = start.started;
        m_todaysWeb = start.todaysWeb;
    } else if (m_todaysWeb != start.todaysWeb) {
        m_modeKnown = false;
    }
}

void CJsonResultsWriter::PageStarted(const PageStart &page)
{
    m_tally.PageStarted(page);
}

void CJsonResultsWriter::LinkTested(const LinkRecord &link)
{
    Open();
    m_tally.LinkTested(link);
    m_output((std::exchange(m_anyLink, true) ? ",\n" : "\n") + LinkObject(link));
}

void CJsonResultsWriter::PageEnded(const PageEnd &page)
{
    m_tally.PageEnded(page);
}

void CJsonResultsWriter::RunEnded(const RunEnd &end)
{
    m_tally.EndOpenPage();
    m_ended = end.ended;
    m_stopped = m_stopped || end.stopped;
}

void CJsonResultsWriter::Finish()
{
    Open();
    m_tally.EndOpenPage();
    QByteArray byCategory;
    for (int i = 0; i <= static_cast<int>(ResultCategory::FtpAnswered); ++i) {
        const auto category = static_cast<ResultCategory>(i);
        if (m_tally.CountOf(category) == 0)
            continue;
        if (!byCategory.isEmpty())
            byCategory += ',';
        byCategory += Quoted(CategoryText(category)) + ':' + Number(m_tally.CountOf(category));
    }
    QByteArray mode = "null";
    if (m_modeKnown && m_todaysWeb)
        mode = *m_todaysWeb ? "\"todays-web\"" : "\"classic\"";
    m_output((m_anyLink ? "\n],\n\"pages\":[" : "],\n\"pages\":[") + m_pages +
             (m_pages.isEmpty() ? "],\n" : "\n],\n") + "\"totals\":{\"tested\":" +
             Number(m_tally.Tested()) + ",\"reported\":" + Number(m_tally.Reported()) +
             ",\"excluded\":" + Number(m_tally.Excluded()) + ",\"byCategory\":{" + byCategory +
             "}},\n\"started\":" + Time(m_started) + ",\"ended\":" + Time(m_ended) +
             ",\"stopped\":" + Bool(m_stopped) + ",\"mode\":" + mode + "}\n");
}
