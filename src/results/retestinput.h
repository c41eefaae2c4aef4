#pragma once

#include <QByteArray>
#include <QString>

class CTestEngine;
class CWorkFiles;

// The longest piece of a report dump handled at once by re-test and repair.
inline constexpr int kReportPieceChars = 511;

// Turns a report into the re-test input: the report is written to urltmp~1,
// copied piece by piece to urltmp~3 with "<A" put before every piece that
// begins with a double quote (so that each reported link reads as an anchor),
// and urltmp~3 is renamed to urltmp~1. Returns the path of the input, or an
// empty array with the reason in why when a work file cannot be made.
QByteArray MakeRetestInput(const QByteArray &report, const CWorkFiles &workFiles, QString *why);

// The Re-test command: probes again every link the report lists, under the
// same anchor text. The window is cleared and the run started only once the
// input stands; otherwise the user is told why and nothing changes.
void OnRetestFailedLinks(CTestEngine &engine);
