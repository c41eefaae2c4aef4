#pragma once

#include "records/linkrecord.h"

// Told of a run as it goes: whatever shows or keeps its results (the report
// text, a machine-readable format, a table) listens here. A run tells, in
// this order: RunStarted; for each page PageStarted, LinkTested for each of
// its links, PageEnded; RunEnded. A stopped run's current page gets no end.
class RunListener
{
public:
    virtual ~RunListener() = default;

    virtual void RunStarted(const RunStart &start) = 0;
    virtual void PageStarted(const PageStart &page) = 0;
    virtual void LinkTested(const LinkRecord &link) = 0;
    virtual void PageEnded(const PageEnd &page) = 0;
    virtual void RunEnded(const RunEnd &end) = 0;
};
