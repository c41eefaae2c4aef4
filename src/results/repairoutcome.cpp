#include "repairoutcome.h"

namespace {

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

} // namespace

void CRepairOutcome::LinkNotRepaired(const QByteArray &path, const QByteArray &url,
                                     LinkOutcome outcome)
{
    if (outcome == LinkOutcome::CannotDisable) {
        m_notes.append(QStringLiteral("We found in file\n%1\nthe URL\n%2\nbut could not put it "
                                      "in an HTML comment there without changing the page's "
                                      "own comments")
                           .arg(Text(path), Text(url)));
    } else {
        m_notes.append(QStringLiteral("We looked in file\n%1\nbut could not file the URL\n%2")
                           .arg(Text(path), Text(url)));
    }
}

void CRepairOutcome::LinkWithoutFile(const QByteArray &url)
{
    m_notes.append(QStringLiteral("The report names no file for the URL\n%1").arg(Text(url)));
}

void CRepairOutcome::LineWithoutUrl(const QByteArray &line)
{
    m_notes.append(
        QStringLiteral("The report line\n%1\nholds no URL between double quotes").arg(Text(line)));
}

void CRepairOutcome::FileFailed(const QByteArray &path, const QString &reason)
{
    m_notes.append(QStringLiteral("The file\n%1\ncould not be repaired: %2.\nIt and the files "
                                  "after it in the report were left as they were.")
                       .arg(Text(path), reason));
}

void CRepairOutcome::ReportFailed(const QString &why)
{
    m_notes.append(why);
}

void CRepairOutcome::StoppedBefore(const QByteArray &path)
{
    m_bStopped = true;
    m_notes.append(QStringLiteral("Stopped by the user before the file\n%1\nIt and the files "
                                  "after it in the report were left as they were.")
                       .arg(Text(path)));
}

QString CRepairOutcome::ClosingMessage() const
{
    if (m_notes.isEmpty())
        return QString::fromLatin1(kRepairCompletedText);
    return QString::fromLatin1(m_bStopped ? kRepairStoppedText : kRepairFailedText) +
           QStringLiteral("\n\n") + Notes();
}

QString CRepairOutcome::Notes() const
{
    return m_notes.join(QStringLiteral("\n\n"));
}
