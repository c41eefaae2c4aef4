#pragma once

#include <QByteArray>
#include <QString>

// The check made before a run starts: the named file is a regular file (or a
// link to one) that can be opened for reading. A directory, a pipe, a device
// or a socket fails the check.
bool CanOpenChosenFile(const QByteArray &path);

// The directory whose HTML files a run in a directory mode tests: the path
// cut just before its last slash ("." for a bare file name, "/" for a file
// in the root directory).
QByteArray RunDirectoryOf(const QByteArray &path);

// Why a run over the HTML files of the chosen file's directory cannot be
// made, for example a directory that may not be listed; empty when it can.
// Without this check such a run would look like a directory without pages.
QString RunDirectoryProblem(const QByteArray &path);

// The user named a folder (or a link to one): its HTML files are to be tested.
bool IsChosenFolder(const QByteArray &path);
// A path within the folder, whose directory is the folder itself: what a run
// over the folder's HTML files starts from.
QByteArray PathWithinFolder(const QByteArray &folder);
