#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

// The lines of the report text. Every line ends with CR LF; the first
// character of a line tells its kind ("S" start, "<" file, a double quote a
// reported link, "*" its result, ">" file summary, "E" end, "T" stop).
namespace ReportLine {

// What opens each kind of line (and the whole line of a stop), for the
// writer and the readers alike.
inline constexpr char kStartLabel[] = "Start of test ";
inline constexpr char kFileLabel[] = "<Testing: ";
inline constexpr char kFailureLabel[] = "*Reason for Failure: ";
inline constexpr char kMovedToLabel[] = "*Moved to: ";
inline constexpr char kSummaryLabel[] = ">Results for ";
inline constexpr char kEndLabel[] = "End of test: ";
inline constexpr char kStoppedText[] = "Testing Stopped by User";
inline constexpr char kNotScannedLabel[] = "Could not scan ";
inline constexpr char kNotScannedWhy[] = " for links: ";

QByteArray Start(const QByteArray &dateTime);
QByteArray File(const QByteArray &path);
// The reported link: a double quote, the URL, a double quote, " >", the anchor
// text and "<". With "<A" put in front it reads as an anchor to the extractor.
QByteArray Link(const QByteArray &url, const QByteArray &anchor);
// The result of the link above: "*", then "Reason for Failure: " unless the
// outcome is a 200 reply, then the category text.
QByteArray Result(bool failureWording, const QByteArray &categoryText);
// Where a moved link's redirects led, after its result: "*Moved to: ", the
// last address, and the text of its result in parentheses.
QByteArray MovedTo(const QByteArray &address, const QByteArray &resultText);
QByteArray Summary(const QByteArray &path, int urlsTested, int urlErrors);
QByteArray End(const QByteArray &dateTime);
QByteArray Stopped();
// Stands in for a page that could not be scanned, in place of its file line
// and summary: such a page is not one without links. Its first character
// marks no other kind of line, so re-test, repair and export pass over it.
QByteArray NotScanned(const QByteArray &path, const QString &why);

// A reported link line read back: the URL between its double quotes, and the
// anchor text from after `" >` to before the line's last character, the "<"
// that ends it. Nothing for a line without its second double quote.
struct LinkLine
{
    QByteArray url;
    QByteArray text;
};
std::optional<LinkLine> ReadLink(const QByteArray &line);

// A moved-to line read back: the address and the result text; nothing for
// a line of another kind.
struct MovedToLine
{
    QByteArray address;
    QByteArray resultText;
};
std::optional<MovedToLine> ReadMovedTo(const QByteArray &line);

// The lines of a report, cut at every CR and LF, empty ones left out.
QList<QByteArray> Split(const QByteArray &report);

} // namespace ReportLine
