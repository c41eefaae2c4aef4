#pragma once

#include "engine/statusevent.h"

// Where a probe reports how it goes on. The front end puts each event into
// the words of the status bar and the wait cursor at once; a probe that runs
// ahead of the driver records its events, so that the driver shows them when
// it takes that probe's outcome.
class ProbeDisplay
{
public:
    virtual ~ProbeDisplay() = default;
    virtual void ShowStatus(const StatusEvent &event) = 0;
};
