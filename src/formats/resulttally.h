#pragma once

#include <array>
#include <functional>
#include <optional>

#include "records/linkrecord.h"

// Counts what a run tells, for the formats that sum it up: links by category,
// reported links, and each page's tested and reported links. Every page is
// handed to pageDone once it is over: when its end is told, or, for a page a
// stopped run (or a report cut short) left open, as far as it came when the
// next page or run begins or the output finishes. A link told outside any page
// opens a page of its own path, ended the same way.
class ResultTally
{
public:
    explicit ResultTally(std::function<void(const PageEnd &)> pageDone)
        : m_pageDone(std::move(pageDone))
    {}

    void PageStarted(const PageStart &page);
    void LinkTested(const LinkRecord &link);
    void PageEnded(const PageEnd &page);
    // Ends the open page, if any, as far as it came.
    void EndOpenPage();

    // Links tested: the sum of the pages' counts (a saved report tells them in
    // its summaries, though it lists only the reported links).
    long long Tested() const { return m_tested; }
    long long Reported() const { return m_reported; }
    long long Pages() const { return m_pages; }
    // Links left untested by an exclusion pattern.
    long long Excluded() const { return m_excluded; }
    // Links told, by category.
    long long CountOf(ResultCategory category) const
    {
        return m_byCategory[static_cast<std::size_t>(category)];
    }

private:
    void PageOver(const PageEnd &page);

    std::function<void(const PageEnd &)> m_pageDone;
    std::optional<PageEnd> m_open;
    long long m_tested = 0;
    long long m_reported = 0;
    long long m_pages = 0;
    long long m_excluded = 0;
    std::array<long long, static_cast<std::size_t>(ResultCategory::FtpAnswered) + 1> m_byCategory{};
};
