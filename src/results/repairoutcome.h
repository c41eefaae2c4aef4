#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "results/pagerewriter.h"

inline constexpr char kRepairFailedText[] = "The URL repair did not succeed";
inline constexpr char kRepairCompletedText[] = "All URL repairs completed";
inline constexpr char kRepairStoppedText[] = "The URL repair was stopped";

// Gathers what a repair could not do, so that its one closing message names
// every link left as it was and every file that could not be repaired.
class CRepairOutcome
{
public:
    void LinkNotRepaired(const QByteArray &path, const QByteArray &url, LinkOutcome outcome);
    // A link line that comes before any file line, or after a file's summary.
    void LinkWithoutFile(const QByteArray &url);
    void LineWithoutUrl(const QByteArray &line);
    // The file and the ones after it are left as they were; the walk stops.
    void FileFailed(const QByteArray &path, const QString &reason);
    void ReportFailed(const QString &why);
    // The user stopped the repair before the file: it and the files after it
    // are left as they were.
    void StoppedBefore(const QByteArray &path);

    bool AllRepaired() const { return m_notes.isEmpty(); }
    // "All URL repairs completed", or "The URL repair did not succeed"
    // (or, stopped by the user, "The URL repair was stopped") followed by one
    // paragraph for each thing left undone.
    QString ClosingMessage() const;
    // One paragraph for each thing left undone; empty when nothing was.
    QString Notes() const;

private:
    QStringList m_notes;
    bool m_bStopped = false;
};
