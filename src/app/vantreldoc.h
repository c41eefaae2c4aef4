#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

class CVantrelView;
class QWidget;

// The document: the report of the results window as a file. Save writes the
// report byte for byte as the engine holds it; Open puts a saved report back
// into the window, ready to be exported, re-tested or repaired; New empties
// the window.
class CVantrelDoc
{
public:
    explicit CVantrelDoc(CVantrelView &view);

    void OnNewDocument();
    void OnOpenDocument();
    void OnSaveDocument();

    // Each tells the user what went wrong; true when done.
    bool OpenFile(const QString &path);
    bool SaveFile(const QString &path);

    // Ask for a file to open or to save to, starting at the given path; empty
    // when the user cancels. Tests replace them.
    std::function<QString(QWidget *parent, const QString &start)> m_chooseOpen;
    std::function<QString(QWidget *parent, const QString &start)> m_chooseSave;

private:
    void Tell(const QString &text);

    CVantrelView &m_view;
    // Where the last report was opened or saved: the next dialog starts there.
    QString m_strLastPath;
};
