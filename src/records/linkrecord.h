#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "records/resultcategory.h"

// One step of a redirect chain: where it led, and the code it answered with.
struct Redirect
{
    QByteArray url;
    int code = 0;
};

// Everything known of one tested link.
struct LinkRecord
{
    // The page that holds the link, as the run names it.
    QByteArray page;
    // Line and column (from 1) of the link in the page; 0 when unknown.
    int line = 0;
    int column = 0;
    // The link as the page writes it, and the address it was tested at
    // (empty when none could be made of it).
    QByteArray url;
    QByteArray target;
    // The anchor text, as the report gives it.
    QByteArray text;
    ResultCategory category = ResultCategory::Unspecified;
    // The reply's status code, when a reply had one.
    std::optional<int> code;
    std::vector<Redirect> redirects;
    qint64 elapsedMs = 0;
    // The report filter admits its category: the report shows it.
    bool reported = false;
    // Its passing result was taken from an earlier run's, not asked again.
    bool cached = false;
};

// A run begins: when, and the text its report's start line gives the time as;
// whether it tests today's web. A run read back from its report text has no
// start time (the text is in the user's locale) and no mode.
struct RunStart
{
    QDateTime started;
    QByteArray startedText;
    std::optional<bool> todaysWeb;
};

// A page of the run is taken up. A page that could not be scanned has a
// reason (and ends at once, with no link).
struct PageStart
{
    QByteArray path;
    std::optional<QString> scanError;
};

// A page's links are all tested.
struct PageEnd
{
    QByteArray path;
    int tested = 0;
    int errors = 0; // reported links
    std::optional<QString> scanError;
    // Links not tested because they match an exclusion pattern.
    int excluded = 0;
};

// The run ends by itself, or is stopped by the user (its current page then
// has no end).
struct RunEnd
{
    QDateTime ended;
    QByteArray endedText;
    bool stopped = false;
};
