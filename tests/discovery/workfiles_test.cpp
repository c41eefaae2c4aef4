#include "discovery/workfiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include <gtest/gtest.h>

#include "support/temphome.h"

namespace {

TEST(WorkFilesTest, PathsLieInTheSystemDirectory)
{
    TempHome home;
    const CWorkFiles workFiles;
    EXPECT_EQ(workFiles.WorkFilePath(""), home.file("urltmp~"));
    EXPECT_EQ(workFiles.WorkFilePath("3"), home.file("urltmp~3"));
}

TEST(WorkFilesTest, CleanUpRemovesEveryWorkFileButLeavesOtherFiles)
{
    TempHome home;
    for (const char *name : {"urltmp~", "urltmp~1", "urltmp~2", "urltmp~3", "Vantrel.INI"})
        WriteFileBytes(home.file(name), "x");
    const QByteArray outside = home.file("elsewhere");
    WriteFileBytes(outside, "keep");
    ASSERT_EQ(unlink(home.file("urltmp~1").constData()), 0);
    ASSERT_EQ(symlink(outside.constData(), home.file("urltmp~1").constData()), 0);

    CWorkFiles().CleanUp();

    for (const char *name : {"urltmp~", "urltmp~2", "urltmp~3"})
        EXPECT_NE(access(home.file(name).constData(), F_OK), 0) << name;
    EXPECT_EQ(ReadFileBytes(outside), QByteArray("keep")) << "a link is never followed";
    EXPECT_EQ(ReadFileBytes(home.file("Vantrel.INI")), QByteArray("x"));
}

TEST(WorkFilesTest, CreatedFilesReplaceHardLinksInsteadOfWritingThroughThem)
{
    TempHome home;
    const QByteArray victim = home.file("victim");
    WriteFileBytes(victim, "precious");
    const QByteArray path = CWorkFiles().WorkFilePath("3");
    ASSERT_EQ(link(victim.constData(), path.constData()), 0);

    UniqueFd file = CreateWorkFile(path);
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(WriteAll(file.Get(), "work", 4));
    file.Reset();

    EXPECT_EQ(ReadFileBytes(victim), QByteArray("precious"));
    EXPECT_EQ(ReadFileBytes(path), QByteArray("work"));
    struct stat info
    {};
    ASSERT_EQ(stat(path.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(WorkFilesTest, NewFilesAreWrittenApartAndMovedIntoPlaceWhole)
{
    TempHome home;
    const QByteArray path = CWorkFiles().WorkFilePath("2");
    WriteFileBytes(path, "the other program's");
    {
        // Two programs writing the same work file at once: neither takes the
        // other's, and each reads back its own bytes.
        CWorkFiles::NewFile mine(path);
        CWorkFiles::NewFile theirs(path);
        ASSERT_TRUE(mine.IsValid());
        ASSERT_TRUE(theirs.IsValid());
        ASSERT_TRUE(WriteAll(mine.Get(), "mine", 4));
        ASSERT_TRUE(WriteAll(theirs.Get(), "theirs", 6));
        EXPECT_EQ(ReadFileBytes(path), QByteArray("the other program's")) << "not yet in place";
        ASSERT_TRUE(theirs.MoveIntoPlace());
        ASSERT_TRUE(mine.MoveIntoPlace());
        EXPECT_EQ(ReadFileBytes(path), QByteArray("mine")) << "the last one moved holds the name";
        char back[8] = {};
        ASSERT_EQ(pread(theirs.Get(), back, sizeof back, 0), 6);
        EXPECT_EQ(QByteArray(back), QByteArray("theirs"));

        struct stat info
        {};
        ASSERT_EQ(stat(path.constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    {
        CWorkFiles::NewFile abandoned(path);
        ASSERT_TRUE(abandoned.IsValid());
        ASSERT_TRUE(WriteAll(abandoned.Get(), "half", 4));
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("mine"));
    EXPECT_EQ(QDir(QString::fromLocal8Bit(home.path())).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("urltmp~2")})
        << "a file never moved into place is removed";
}

TEST(WorkFilesTest, SystemDirectoryIsCreatedPrivate)
{
    TempHome home;
    const QByteArray nested = home.file("a/b");
    qputenv("VANTREL_HOME", nested);
    EXPECT_EQ(CWorkFiles().WorkFilePath("2"), nested + "/urltmp~2");
    struct stat info
    {};
    ASSERT_EQ(stat(nested.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

} // namespace
