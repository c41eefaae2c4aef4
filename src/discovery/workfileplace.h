#pragma once

#include <QByteArray>

#include "platform/uniquefd.h"

// The directory where one user of the work files (an engine, or one command of
// vantrel-check) keeps them. The first user in the system directory takes the
// usual names there and holds them, with a lock on the directory, for as long
// as it lives. A user that finds them held (another program, or another engine
// of the same program, sharing the system directory) gets a directory of its
// own instead, urltmp~.run.XXXXXX, with mode 0700, locked while its owner
// lives and removed with everything in it when the owner goes. So programs at
// work side by side never read, replace or delete each other's work files. A
// private directory whose owner died without removing it is removed by the
// next user that settles its place.
class WorkFilePlace
{
public:
    WorkFilePlace() = default;
    // Removes the private directory, if there is one, and gives the lock up.
    ~WorkFilePlace();

    WorkFilePlace(const WorkFilePlace &) = delete;
    WorkFilePlace &operator=(const WorkFilePlace &) = delete;

    // The directory of the work files, settled at the first call (again when
    // the system directory has changed since); empty when there is none.
    QByteArray Directory();
    // The directory of the work files when the place is settled or the usual
    // names are free (then taken); empty otherwise. Never makes a private
    // directory: the clean-up of a user that never wrote a work file has
    // nothing of its own elsewhere.
    QByteArray DirectoryWithoutMaking();
    bool IsPrivate() const { return !m_private.isEmpty(); }
    // Removes the private directory with everything in it; the place is then
    // unsettled.
    void RemovePrivate();

private:
    // Drops whatever was settled for another system directory.
    void FollowSystemDirectory(const QByteArray &systemDirectory);
    bool TakeUsualNames();
    bool MakePrivateDirectory();

    QByteArray m_systemDirectory;
    // The locked directory: the system directory while the usual names are
    // held, else the private directory.
    UniqueFd m_lock;
    QByteArray m_private;
};
