#pragma once

#include <QByteArray>

// A progress bar as the run drives it: a range, a step and a position that
// wraps to the start when a step carries it past the end.
struct ProgressBarModel
{
    int lower = 0;
    int upper = 100;
    int step = 10;
    int pos = 0;

    void SetRange(int low, int high)
    {
        lower = low;
        upper = high;
    }
    void SetStep(int increment) { step = increment; }
    void SetPos(int position) { pos = position; }
    void StepIt()
    {
        pos += step;
        if (pos > upper && upper > lower)
            pos = lower + (pos - lower) % (upper - lower);
    }
};

// What the "Testing Progress" window shows while a run lasts: the current file
// and link, each with its number and the total, and a bar for each.
struct ProgressModel
{
    ProgressBarModel m_ctlUrlProgress;
    ProgressBarModel m_ctlFileProgress;
    QByteArray m_strFileName;
    QByteArray m_strUrl;
    QByteArray m_strAnchor;
    QByteArray m_strFileCount;
    QByteArray m_strUrlCount;
    QByteArray m_strFileIndex;
    QByteArray m_strUrlIndex;
};
