#pragma once

#include <functional>

#include <QByteArray>

#include "records/runlistener.h"

// Where a format writes its text, piece by piece, as the run goes.
using FormatOutput = std::function<void(const QByteArray &)>;

// A machine-readable view of results: told of one run or of several (a saved
// report may hold more than one) as they go, it writes what it can at once.
// Finish writes what only the end can tell; it is called once, after the last
// run, and the output is complete only then.
class ResultsFormatter : public RunListener
{
public:
    virtual void Finish() = 0;
};
