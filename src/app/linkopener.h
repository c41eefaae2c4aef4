#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A program to start and what to give it.
struct OpenCommand
{
    QString program;
    QStringList arguments;
};

// How the desktop opens an address (a web address, or a file given by its
// absolute path): with xdg-open, which hands it to the user's browser or the
// program chosen for its type.
OpenCommand BrowserCommand(const QString &address);

// How the user's editor opens the file at a line (0: its start): $VISUAL,
// else $EDITOR, with "+line" before the file as editors since vi take it; an
// editor that runs in a terminal is started in one. With neither set, the
// desktop's program for the file's type opens it.
OpenCommand
EditorCommand(const QString &path, int line,
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// Starts the program without waiting for it; false, with why, when it could
// not be started.
bool StartOpenCommand(const OpenCommand &command, QString *why);
