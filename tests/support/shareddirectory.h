#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QByteArray>

// Files of another user, for the tests of what the program may write through
// or replace. Only the superuser can give a file away; without it the tests
// that need such a file skip.
inline constexpr uid_t kOtherUid = 4321;

inline bool CanGiveFilesAway()
{
    return geteuid() == 0;
}

// A directory that everyone may write, with the sticky bit, like /tmp.
inline void MakeSharedDirectory(const QByteArray &path)
{
    ASSERT_EQ(mkdir(path.constData(), 0700), 0) << path.constData();
    ASSERT_EQ(chmod(path.constData(), 01777), 0);
}

// Gives a file, or a symbolic link itself, to the other user.
inline void GiveToOtherUser(const QByteArray &path)
{
    ASSERT_EQ(lchown(path.constData(), kOtherUid, kOtherUid), 0) << path.constData();
}
