#pragma once

#include <functional>

#include <QByteArray>

#include "records/runlistener.h"

// Writes a run as the report text: the start line, each page's file line,
// its reported links with their results and its summary, and the end or stop
// line. Each line goes to append as it is made.
class CReportTextWriter final : public RunListener
{
public:
    explicit CReportTextWriter(std::function<void(const QByteArray &)> append)
        : m_append(std::move(append))
    {}

    void RunStarted(const RunStart &start) override;
    void PageStarted(const PageStart &page) override;
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override;
    void RunEnded(const RunEnd &end) override;

private:
    std::function<void(const QByteArray &)> m_append;
};
