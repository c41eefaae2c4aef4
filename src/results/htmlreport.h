#pragma once

#include <QByteArray>

// Where the exported page's heading links to.
inline constexpr char kHomePageAddress[] = "https://vantrel.kestrine.example/";

// Replaces "&", "<", ">" and the double quote by their entities, so that text
// taken from a web page can never become markup in the exported page.
QByteArray EscapeHtml(const QByteArray &text);

// The exported HTML page of a report: a head naming the user and the moment
// of the export, one list per tested file with an item per reported link and
// its result, and a foot that closes the last list.
QByteArray BuildHtmlReport(const QByteArray &report, const QByteArray &userName,
                           const QByteArray &dateTime);

// The account's full name, else its login name.
QByteArray UserDisplayName();
