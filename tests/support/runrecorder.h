#pragma once

#include <vector>

#include <QList>

#include "records/reporttextwriter.h"
#include "records/runlistener.h"

// Keeps everything a run tells, in order, and can tell it again.
class RunRecorder final : public RunListener
{
public:
    struct Event
    {
        enum class Kind
        {
            RunStarted,
            PageStarted,
            LinkTested,
            PageEnded,
            RunEnded
        };
        Kind kind;
        RunStart runStart;
        PageStart pageStart;
        LinkRecord link;
        PageEnd pageEnd;
        RunEnd runEnd;
    };

    void RunStarted(const RunStart &start) override
    {
        m_events.push_back({Event::Kind::RunStarted, start, {}, {}, {}, {}});
    }
    void PageStarted(const PageStart &page) override
    {
        m_events.push_back({Event::Kind::PageStarted, {}, page, {}, {}, {}});
    }
    void LinkTested(const LinkRecord &link) override
    {
        m_events.push_back({Event::Kind::LinkTested, {}, {}, link, {}, {}});
        links.append(link);
    }
    void PageEnded(const PageEnd &page) override
    {
        m_events.push_back({Event::Kind::PageEnded, {}, {}, {}, page, {}});
        pages.append(page);
    }
    void RunEnded(const RunEnd &end) override
    {
        m_events.push_back({Event::Kind::RunEnded, {}, {}, {}, {}, end});
    }

    // Tells another listener everything, in the same order.
    void Replay(RunListener &listener) const
    {
        for (const Event &event : m_events) {
            switch (event.kind) {
            case Event::Kind::RunStarted:
                listener.RunStarted(event.runStart);
                break;
            case Event::Kind::PageStarted:
                listener.PageStarted(event.pageStart);
                break;
            case Event::Kind::LinkTested:
                listener.LinkTested(event.link);
                break;
            case Event::Kind::PageEnded:
                listener.PageEnded(event.pageEnd);
                break;
            case Event::Kind::RunEnded:
                listener.RunEnded(event.runEnd);
                break;
            }
        }
    }

    // The report text that what was told makes.
    QByteArray ReportText() const
    {
        QByteArray text;
        CReportTextWriter writer([&text](const QByteArray &line) { text += line; });
        Replay(writer);
        return text;
    }

    QList<LinkRecord> links;
    QList<PageEnd> pages;

private:
    std::vector<Event> m_events;
};
