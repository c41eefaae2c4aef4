#pragma once

#include <optional>

#include "discovery/linklocator.h"
#include "records/runlistener.h"

// Passes a run on to another listener with each link's line and column filled
// in from its page, where the record has none and the page can be read: a
// saved report names its links but not their places.
class CPlacedLinks final : public RunListener
{
public:
    explicit CPlacedLinks(RunListener &next) : m_next(next) {}

    void RunStarted(const RunStart &start) override { m_next.RunStarted(start); }
    void PageStarted(const PageStart &page) override
    {
        m_locator.reset();
        m_next.PageStarted(page);
    }
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override { m_next.PageEnded(page); }
    void RunEnded(const RunEnd &end) override { m_next.RunEnded(end); }

private:
    RunListener &m_next;
    std::optional<CLinkLocator> m_locator;
};
