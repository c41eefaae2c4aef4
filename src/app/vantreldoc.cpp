#include "vantreldoc.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "engine/testengine.h"
#include "engine/ui/vantrelview.h"
#include "platform/atomicfile.h"
#include "results/openreport.h"

namespace {

// A report of a quarter of a million links is some tens of megabytes; a file
// far beyond that is not a report, and reading it would only stall the window.
constexpr qint64 kMaxReportBytes = qint64(512) * 1024 * 1024;

QString ChooseReportToOpen(QWidget *parent, const QString &start)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open Report"), start,
                                        QStringLiteral("Reports (*.txt);;All Files (*)"));
}

QString ChooseReportToSave(QWidget *parent, const QString &start)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Report"), start,
                                        QStringLiteral("Reports (*.txt);;All Files (*)"));
}

} // namespace

CVantrelDoc::CVantrelDoc(CVantrelView &view)
    : m_chooseOpen(ChooseReportToOpen), m_chooseSave(ChooseReportToSave), m_view(view)
{
    // Emptying the window leaves a new report, in no file.
    QObject::connect(&view, &CVantrelView::textCleared, &view, [this] {
        if (m_strPathName.isEmpty())
            return;
        m_strPathName.clear();
        if (m_onTitleChanged)
            m_onTitleChanged();
    });
}

void CVantrelDoc::OnNewDocument()
{
    if (m_view.Engine().CanClearWindow() && SaveModified())
        m_view.OnClearWindow();
}

void CVantrelDoc::OnOpenDocument()
{
    if (m_view.Engine().IsRunning() || !SaveModified())
        return;
    const QString path = m_chooseOpen(m_view.window(), QFileInfo(m_strLastPath).path());
    if (!path.isEmpty())
        OpenFile(path);
}

void CVantrelDoc::OnSaveDocument()
{
    if (m_strPathName.isEmpty())
        OnSaveDocumentAs();
    else
        SaveFile(m_strPathName);
}

void CVantrelDoc::OnSaveDocumentAs()
{
    const QString start = m_strLastPath.isEmpty() ? QStringLiteral("report.txt") : m_strLastPath;
    const QString path = m_chooseSave(m_view.window(), start);
    if (!path.isEmpty())
        SaveFile(path);
}

bool CVantrelDoc::IsModified() const
{
    const CTestEngine &engine = m_view.Engine();
    if (!engine.HasText())
        return false;
    return m_savedClears != m_view.TimesCleared() || m_savedSize != engine.ReportText().size();
}

bool CVantrelDoc::SaveModified()
{
    if (!IsModified())
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vantrel"),
                    QStringLiteral("The report has not been saved. Save it first?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    m_view.window());
    box.button(QMessageBox::Save)->setText(QStringLiteral("Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        OnSaveDocument();
        return !IsModified();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

QString CVantrelDoc::Title() const
{
    if (m_strPathName.isEmpty())
        return QStringLiteral("Vantrel");
    return QFileInfo(m_strPathName).fileName() + QStringLiteral(" - Vantrel");
}

bool CVantrelDoc::OpenFile(const QString &path)
{
    // Only a regular file: reading a FIFO or a device would wait forever.
    if (!QFileInfo(path).isFile()) {
        Tell(QStringLiteral("The report %1 cannot be opened: it is not a file.").arg(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(QStringLiteral("The report %1 cannot be opened: %2.").arg(path, file.errorString()));
        return false;
    }
    if (file.size() > kMaxReportBytes) {
        Tell(QStringLiteral("The file %1 is too large to be a report.").arg(path));
        return false;
    }
    const QByteArray report = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Tell(QStringLiteral("The report %1 cannot be read: %2.").arg(path, file.errorString()));
        return false;
    }
    if (!OpenReport(m_view.Engine(), report)) {
        Tell(QStringLiteral("A report cannot be opened while a test runs."));
        return false;
    }
    MarkSaved(path);
    if (m_onOpened)
        m_onOpened(report);
    return true;
}

bool CVantrelDoc::SaveFile(const QString &path)
{
    AtomicFileWriter file(QFile::encodeName(path));
    if (!file.Open() || !file.Write(m_view.Engine().ReportText()) || !file.Commit()) {
        Tell(QStringLiteral("The report cannot be saved to %1: %2.").arg(path, file.ErrorString()));
        return false;
    }
    MarkSaved(path);
    return true;
}

void CVantrelDoc::MarkSaved(const QString &path)
{
    m_strLastPath = path;
    m_strPathName = path;
    m_savedSize = m_view.Engine().ReportText().size();
    m_savedClears = m_view.TimesCleared();
    if (m_onTitleChanged)
        m_onTitleChanged();
}

void CVantrelDoc::Tell(const QString &text)
{
    m_view.MessageBox(text, EngineUi::Icon::None);
}
