#pragma once

#include <atomic>

#include <QByteArray>
#include <QList>

// Lets another thread follow a walk and end it: the walk counts the files it
// has found and stops early, leaving the rest unlisted, once stop is set.
struct WalkWatch
{
    std::atomic<bool> stop{false};
    std::atomic<int> found{0};
};

// True for a path that names an HTML file to test: the upper-cased path holds
// ".HTM", or else ".SHTM", at a position greater than 0. The whole path counts,
// so a file in a directory whose name holds ".htm" qualifies too.
bool IsHtmlPath(const QByteArray &path);

// Appends the qualifying files directly in directory, in the order the file
// system returns them. An empty directory path stands for the root directory.
void AddHtmlFiles(QList<QByteArray> &list, const QByteArray &directory, WalkWatch *watch = nullptr);

// Appends the qualifying files of directory and, depth first, of all its
// sub-directories: each directory's own files first, then its sub-directories
// in the reverse of the order the file system returns them. Symbolic links to
// directories and directories whose name begins with "." are not entered.
void AddHtmlFilesTree(QList<QByteArray> &list, const QByteArray &directory,
                      WalkWatch *watch = nullptr);

// The files of a run, as the start of a run queues them from the path the user
// named and the two choices: the path alone; with allFiles, the HTML files of
// its directory (and, with subDirectories too, of the whole tree below it);
// with subDirectories alone, nothing.
QList<QByteArray> QueueRunFiles(const QByteArray &path, bool subDirectories, bool allFiles,
                                WalkWatch *watch = nullptr);

// The directory a run over path starts from: the path cut just before its
// last slash; a bare file name stands for the current directory.
QByteArray RunDirectory(const QByteArray &path);
