#pragma once

#include <QByteArray>

#include "platform/uniquefd.h"

// The scratch files that carry data between the stages of a run and the
// commands after it: urltmp~ (never written), urltmp~1 (re-test input),
// urltmp~2 (split copy of the file being scanned, or the repair's report dump)
// and urltmp~3 (re-test input while it is written), all in the system directory.
class CWorkFiles
{
public:
    // The path of the work file with the given suffix ("", "1", "2" or "3"),
    // or an empty array when there is no system directory.
    QByteArray WorkFilePath(const QByteArray &suffix) const;

    // Removes every work file that can be opened for reading, in the order
    // urltmp~, urltmp~1, urltmp~2, urltmp~3. Run when the results window goes.
    void CleanUp() const;

    QByteArray m_strWorkFileBase = "urltmp~";
};

// Creates a work file afresh for writing and reading back, readable by its
// owner only. Whatever stood at the path before (a planted symbolic or hard
// link included) is removed first and never written through. Reading back
// through the same descriptor, rather than opening the path again, keeps a
// writer's own bytes even when another program replaces the file meanwhile.
UniqueFd CreateWorkFile(const QByteArray &path);
// Opens a work file for reading without following a symbolic link.
UniqueFd OpenWorkFileForReading(const QByteArray &path);
