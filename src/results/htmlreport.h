#pragma once

#include <QByteArray>

// Where the exported page's heading links to.
inline constexpr char kHomePageAddress[] = "https://vantrel.kestrine.example/";

// The exported HTML page of a report, a UTF-8 HTML5 document: a heading
// naming the user, then every run's start and end (or stop) lines, and for
// each tested file its "Testing: " line, a list with an item per reported link
// and its result, and its summary. A link whose anchor text is empty shows
// its URL instead. The start time is the first run's; a report that does not
// begin with a run's start gets the moment of the export, dateTime.
QByteArray BuildHtmlReport(const QByteArray &report, const QByteArray &userName,
                           const QByteArray &dateTime);

// The account's full name, else its login name.
QByteArray UserDisplayName();
