#include "reporttextreader.h"

#include "records/reportlines.h"
#include "records/runlistener.h"

namespace {

using namespace ReportLine;

// The number after text in line, as the summary line writes it.
int NumberAfter(const QByteArray &line, const char *text)
{
    const qsizetype at = line.lastIndexOf(text);
    if (at < 0)
        return 0;
    qsizetype end = at + qsizetype(qstrlen(text));
    qsizetype digits = end;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
        ++digits;
    return line.mid(end, digits - end).toInt();
}

class Reader
{
public:
    Reader(RunListener &listener, const std::function<void(const QByteArray &)> &unreadLink)
        : m_listener(listener), m_unreadLink(unreadLink)
    {}

    void Line(const QByteArray &line, const QByteArray &next, const QByteArray &afterNext)
    {
        if (line.startsWith(kStartLabel)) {
            EndRun({{}, {}, true}, false);
            m_listener.RunStarted({{}, line.mid(qsizetype(qstrlen(kStartLabel))), std::nullopt});
            m_inRun = true;
        } else if (line.startsWith(kFileLabel)) {
            StartRunIfNone();
            m_page = line.mid(qsizetype(qstrlen(kFileLabel)));
            m_pageOpen = true;
            m_listener.PageStarted({m_page, std::nullopt});
        } else if (line.startsWith('"')) {
            Link(line, next, afterNext);
        } else if (line.startsWith(kSummaryLabel)) {
            StartRunIfNone();
            const qsizetype colon = line.lastIndexOf(": URLs tested: ");
            const QByteArray path = line.mid(qsizetype(qstrlen(kSummaryLabel)),
                                             colon - qsizetype(qstrlen(kSummaryLabel)));
            m_listener.PageEnded({colon < 0 ? m_page : path, NumberAfter(line, "URLs tested: "),
                                  NumberAfter(line, "URL errors: "), std::nullopt});
            m_pageOpen = false;
        } else if (line.startsWith(kEndLabel)) {
            EndRun({{}, line.mid(qsizetype(qstrlen(kEndLabel))), false}, true);
        } else if (line == kStoppedText) {
            EndRun({{}, {}, true}, true);
        } else if (line.startsWith(kNotScannedLabel) && line.contains(kNotScannedWhy)) {
            StartRunIfNone();
            const qsizetype why = line.lastIndexOf(kNotScannedWhy);
            const QByteArray path = line.mid(qsizetype(qstrlen(kNotScannedLabel)),
                                             why - qsizetype(qstrlen(kNotScannedLabel)));
            const QString reason =
                QString::fromLocal8Bit(line.mid(why + qsizetype(qstrlen(kNotScannedWhy))));
            m_listener.PageStarted({path, reason});
            m_listener.PageEnded({path, 0, 0, reason});
        }
    }

    // A report that ends inside a run (cut short, or a run still going when
    // it was saved) ends it as stopped.
    void Finish() { EndRun({{}, {}, true}, false); }

private:
    void Link(const QByteArray &line, const QByteArray &next, const QByteArray &afterNext)
    {
        std::optional<ReportLine::LinkLine> read = ReportLine::ReadLink(line);
        if (!read) {
            if (m_unreadLink)
                m_unreadLink(line);
            return;
        }
        StartRunIfNone();
        LinkRecord link;
        link.page = m_pageOpen ? m_page : QByteArray();
        link.url = std::move(read->url);
        // A reported link was tested at its address as written.
        link.target = link.url;
        link.text = std::move(read->text);
        link.reported = true;
        QByteArray result = next.startsWith(kFailureLabel)
                                ? next.mid(qsizetype(qstrlen(kFailureLabel)))
                            : next.startsWith('*') ? next.mid(1)
                                                   : QByteArray();
        if (!CategoryFromText(result, &link.category))
            link.category = ResultCategory::UnknownReply;
        if (link.category <= ResultCategory::Http503)
            link.code = CategoryText(link.category).mid(10, 3).toInt();
        // A moved link: where its redirects ended, and with what.
        if (next.startsWith('*')) {
            if (std::optional<MovedToLine> moved = ReadMovedTo(afterNext)) {
                ResultCategory result = ResultCategory::UnknownReply;
                CategoryFromText(moved->resultText, &result);
                const bool reply = IsReply(result) && result != ResultCategory::UnknownReply;
                link.redirects.push_back(
                    {std::move(moved->address), reply ? int(CodeOfCategory(result)) : 0});
            }
        }
        m_listener.LinkTested(link);
    }

    void StartRunIfNone()
    {
        if (!m_inRun) {
            m_listener.RunStarted({});
            m_inRun = true;
        }
    }

    void EndRun(const RunEnd &end, bool evenWithoutStart)
    {
        if (!m_inRun && !evenWithoutStart)
            return;
        StartRunIfNone();
        m_listener.RunEnded(end);
        m_inRun = false;
        m_pageOpen = false;
    }

    RunListener &m_listener;
    const std::function<void(const QByteArray &)> &m_unreadLink;
    bool m_inRun = false;
    bool m_pageOpen = false;
    QByteArray m_page;
};

} // namespace

void ReadReportText(const QByteArray &report, RunListener &listener,
                    const std::function<void(const QByteArray &line)> &unreadLink)
{
    const QList<QByteArray> lines = ReportLine::Split(report);
    Reader reader(listener, unreadLink);
    for (qsizetype i = 0; i < lines.size(); ++i)
        reader.Line(lines[i], i + 1 < lines.size() ? lines[i + 1] : QByteArray(),
                    i + 2 < lines.size() ? lines[i + 2] : QByteArray());
    reader.Finish();
}
