#include "discovery/workfiles.h"

#include <memory>
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
    QStringList left =
        QDir(QString::fromLocal8Bit(home.path())).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("Vantrel.INI"), QStringLiteral("urltmp~2")}))
        << "a file never moved into place is removed";
}

// Names in the system directory that belong to the work files.
QStringList WorkFileEntries(const TempHome &home)
{
    return QDir(QString::fromLocal8Bit(home.path()))
        .entryList({QStringLiteral("urltmp~*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

TEST(WorkFilesTest, UsersSharingTheSystemDirectoryNeverTouchEachOthersFiles)
{
    TempHome home;
    // The directory of a program that was killed before it could remove it.
    const QByteArray abandoned = home.file("urltmp~.run.Dead01");
    ASSERT_EQ(mkdir(abandoned.constData(), 0700), 0);
    WriteFileBytes(abandoned + "/urltmp~1", "left behind");

    auto first = std::make_unique<CWorkFiles>();
    EXPECT_EQ(first->WorkFilePath("1"), home.file("urltmp~1")) << "the first keeps the names";
    EXPECT_NE(access(abandoned.constData(), F_OK), 0) << "an abandoned directory is removed";
    WriteFileBytes(first->WorkFilePath("1"), "first");

    CWorkFiles second;
    const QByteArray own = second.WorkFilePath("1");
    ASSERT_TRUE(own.startsWith(home.file("urltmp~.run."))) << own.constData();
    EXPECT_EQ(second.WorkFilePath("3"), own.chopped(1) + "3") << "one directory for all of them";
    struct stat info
    {};
    ASSERT_EQ(stat(own.chopped(9).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    WriteFileBytes(own, "second");
    {
        CWorkFiles third;
        EXPECT_FALSE(third.WorkFilePath("1").startsWith(own.chopped(9)));
        WriteFileBytes(third.WorkFilePath("2"), "third");
        EXPECT_EQ(WorkFileEntries(home).size(), 3);
    }
    EXPECT_EQ(WorkFileEntries(home).size(), 2) << "a private directory goes with its user";

    second.CleanUp();
    EXPECT_EQ(ReadFileBytes(home.file("urltmp~1")), QByteArray("first"));
    EXPECT_EQ(WorkFileEntries(home), QStringList{QStringLiteral("urltmp~1")});
    first->CleanUp();
    first.reset();
    EXPECT_TRUE(WorkFileEntries(home).isEmpty());
    EXPECT_EQ(CWorkFiles().WorkFilePath("2"), home.file("urltmp~2")) << "free again";
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
