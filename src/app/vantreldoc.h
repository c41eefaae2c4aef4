#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

class CVantrelView;
class QWidget;

// The document: the report of the results window as a file. Save writes the
// report byte for byte as the engine holds it; Open puts a saved report back
// into the window, ready to be exported, re-tested or repaired; New empties
// the window. It knows the report's file (none until the report is opened or
// saved) and whether the window holds text that file does not, and asks
// before such text is thrown away.
class CVantrelDoc
{
public:
    explicit CVantrelDoc(CVantrelView &view);

    void OnNewDocument();
    void OnOpenDocument();
    // Saves to the report's file; without one, asks for it as Save As does.
    void OnSaveDocument();
    void OnSaveDocumentAs();

    // Each tells the user what went wrong; true when done.
    bool OpenFile(const QString &path);
    bool SaveFile(const QString &path);

    // The window holds report text that is in no file.
    bool IsModified() const;
    // Asks whether to save the report before it is thrown away (Save,
    // Discard, Cancel) when it is modified; true when it may go.
    bool SaveModified();
    // "report.txt - Vantrel", or "Vantrel" for a report in no file.
    QString Title() const;

    // Ask for a file to open or to save to, starting at the given path; empty
    // when the user cancels. Tests replace them.
    std::function<QString(QWidget *parent, const QString &start)> m_chooseOpen;
    std::function<QString(QWidget *parent, const QString &start)> m_chooseSave;
    // Told after the title may have changed.
    std::function<void()> m_onTitleChanged;
    // Told of the report text a file put in the window.
    std::function<void(const QByteArray &report)> m_onOpened;

private:
    void Tell(const QString &text);
    // The window's text is now the file's.
    void MarkSaved(const QString &path);

    CVantrelView &m_view;
    // Where the last report was opened or saved: the next dialog starts there.
    QString m_strLastPath;
    // The report's file, empty for none.
    QString m_strPathName;
    // What the file holds: the report's size at the time, and how many times
    // the window had been emptied then (the report only grows in between).
    qsizetype m_savedSize = 0;
    int m_savedClears = 0;
};
