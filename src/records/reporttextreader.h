#pragma once

#include <functional>

#include <QByteArray>

class RunListener;

// Reads a report text back into the run it tells of, as the report writer
// would have been told it: its runs, pages, reported links with their result
// categories, summaries and ends. Only reported links are in a report, and
// their places in their pages are not: their lines and columns are 0, and
// their targets the links as written. A page or run that the text leaves open
// (a run stopped, a report cut short) is told as it stands; a link line before
// any file line belongs to no page.
// Lines of no kind the report writes are passed over; a line that opens with
// a double quote but has no second one goes to unreadLink, when given.
void ReadReportText(const QByteArray &report, RunListener &listener,
                    const std::function<void(const QByteArray &line)> &unreadLink = {});
