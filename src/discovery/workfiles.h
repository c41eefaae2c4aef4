#pragma once

#include <utility>

#include <QByteArray>

#include "discovery/workfileplace.h"
#include "platform/uniquefd.h"

// The scratch files that carry data between the stages of a run and the
// commands after it: urltmp~ (never written), urltmp~1 (re-test input),
// urltmp~2 (split copy of the file being scanned, or the repair's report dump)
// and urltmp~3 (re-test input while it is written). They lie in the system
// directory, or, while another user holds the names there, in a directory of
// this object's own (see WorkFilePlace): each engine reads, replaces and
// deletes only its own.
class CWorkFiles
{
public:
    // A work file being written. It is created under a name of its own beside
    // its place and moved into place with one rename, so that programs sharing
    // the system directory never take each other's file, never see one half
    // written, and never write through whatever stood at the path before (a
    // planted symbolic or hard link included). Readable by its owner only.
    class NewFile
    {
    public:
        explicit NewFile(const QByteArray &path);
        // A file that was never moved into place is removed.
        ~NewFile();

        NewFile(const NewFile &) = delete;
        NewFile &operator=(const NewFile &) = delete;

        // False when the file could not be created; errno tells why.
        bool IsValid() const { return m_fd.IsValid(); }
        int Get() const { return m_fd.Get(); }
        // Renames the file over its path; false with errno set when it cannot
        // take that place (a directory stands there, the directory went).
        bool MoveIntoPlace();
        UniqueFd TakeFd() { return std::move(m_fd); }

    private:
        QByteArray m_path;
        QByteArray m_temporary;
        UniqueFd m_fd;
    };

    // The path of this object's work file with the given suffix ("", "1",
    // "2" or "3"), or an empty array when there is no place for it.
    QByteArray WorkFilePath(const QByteArray &suffix) const;

    // Removes every one of its work files that can be opened for reading, in
    // the order urltmp~, urltmp~1, urltmp~2, urltmp~3, and its own directory.
    // Run when the results window goes.
    void CleanUp() const;

    QByteArray m_strWorkFileBase = "urltmp~";

private:
    // Settled at the first use, which callers holding the work files
    // read-only may make.
    mutable WorkFilePlace m_place;
};

// Creates a work file afresh, already in its place, for writing and reading
// back (a NewFile moved into place at once). Reading back through the same
// descriptor, rather than opening the path again, keeps a writer's own bytes
// even when another program replaces the file meanwhile.
UniqueFd CreateWorkFile(const QByteArray &path);
// Opens a work file for reading without following a symbolic link.
UniqueFd OpenWorkFileForReading(const QByteArray &path);
