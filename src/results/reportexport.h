#pragma once

#include <QByteArray>
#include <QString>

class CRegSettings;
class EngineUi;

// What the Export dialog collects: where to write and in which form. The
// number of a form is what the settings store keeps for the next export.
struct ExportChoice
{
    enum Format
    {
        Text = 0,
        Html = 1,
        Json = 2,
        Csv = 3,
        // Offered by vantrel-check only.
        JUnit = 4,
        Markdown = 5
    };

    QByteArray path;
    int format = Text;
};

enum class ExportOutcome
{
    Written,
    Declined,
    WriteError
};

// The question asked before an existing file is replaced.
QString ReplaceQuestion(const QByteArray &path);

// Anything at the path counts, whether or not it can be read: a file that
// cannot be opened, or a link to a file not made yet, is still asked about.
bool ExportTargetExists(const QByteArray &path);

// Writes the report in the chosen form over whatever is at the path, at once,
// so a failure half-way leaves the old file whole. False with the reason in
// why when the file cannot be written.
bool WriteExport(const ExportChoice &choice, const QByteArray &report, QString *why);

// Writes the report as the choice says: the text report is the report byte
// for byte; JSON, CSV, JUnit and Markdown are the report's runs, pages and
// reported links in that format; any other number is the HTML page. An existing file is replaced
// only when the user says yes, and then at once, so a failure half-way leaves
// the old file whole. A file the user could not have written, or one behind
// another user's link in a shared directory, is never replaced: that is a
// write error. When remember is given, the choice is stored there as the next
// export's default once the user has not declined.
ExportOutcome ExportReport(const ExportChoice &choice, const QByteArray &report, EngineUi &ui,
                           CRegSettings *remember);
