#pragma once

#include <QByteArray>
#include <QList>

#include "discovery/workfiles.h"
#include "results/linkrepair.h"
#include "support/recordingui.h"
#include "support/temphome.h"

// A report naming files, written the way a run writes it.
class ReportBuilder
{
public:
    ReportBuilder &File(const QByteArray &path);
    ReportBuilder &Link(const QByteArray &url, const QByteArray &anchor = "a");
    ReportBuilder &Summary();
    ReportBuilder &Raw(const QByteArray &line)
    {
        m_report += line;
        return *this;
    }
    QByteArray Text() const { return m_report; }

private:
    QByteArray m_report = "Start of test NOW\r\n\r\n";
    QByteArray m_current;
    int m_links = 0;
};

// Runs a repair of the report; the recorder holds the messages shown.
struct RepairRun
{
    RecordingUi ui;
    bool completed = false;
};
void RunRepair(RepairRun &run, const QByteArray &report, int type);

inline const QString kRepairCompleted = QStringLiteral("All URL repairs completed");
inline const QString kRepairFailed = QStringLiteral("The URL repair did not succeed");

// How the closing message names a link that was not found in its file.
QString NotFoundText(const QByteArray &path, const QByteArray &url);

// The lines of a text, each with its own ending (LF, CR LF, a lone CR, or
// none at the very end).
QList<QByteArray> SplitLines(const QByteArray &text);
