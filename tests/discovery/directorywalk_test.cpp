#include "discovery/directorywalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temphome.h"

namespace {

TEST(DirectoryWalkTest, QualifyingPathsHoldHtmOrShtmAfterTheFirstCharacter)
{
    const struct
    {
        const char *path;
        bool qualifies;
    } cases[] = {
        {"/w/a.html", true},       {"/w/A.HTM", true},          {"/w/a.shtml", true},
        {"/w/a.Shtm", true},       {"/w/a.htx", false},         {"/w/a.txt", false},
        {"/w/page.htm.txt", true}, {"/site.html/readme", true}, {".htm", false},
        {".shtml", false},         {"x.shtml", true},           {"/w/htm", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsHtmlPath(c.path), c.qualifies) << c.path;
}

// The walk's rules written plainly: the directory's own files in the order the
// file system gives them, then its sub-directories walked in reverse order.
QList<QByteArray> ReferenceTree(const QByteArray &directory)
{
    QList<QByteArray> files;
    QList<QByteArray> subDirectories;
    DIR *dir = opendir(directory.constData());
    if (dir == nullptr)
        return files;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray path = directory + '/' + entry->d_name;
        struct stat followed
        {};
        struct stat own
        {};
        stat(path.constData(), &followed);
        lstat(path.constData(), &own);
        if (S_ISREG(followed.st_mode) && IsHtmlPath(path))
            files.append(path);
        if (S_ISDIR(own.st_mode) && entry->d_name[0] != '.')
            subDirectories.append(path);
    }
    closedir(dir);
    for (qsizetype i = subDirectories.size() - 1; i >= 0; --i)
        files += ReferenceTree(subDirectories[i]);
    return files;
}

class DirectoryTreeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        root = home.file("site");
        for (const char *dir :
             {"", "/A", "/B", "/C", "/C/deeper", "/.hidden", "/B/x.htm.d", "/ro", "/outside"}) {
            ASSERT_EQ(mkdir((root + dir).constData(), 0700), 0) << dir;
        }
        for (const char *file :
             {"/index.html", "/notes.txt", "/A/a.htm", "/B/b1.shtml", "/B/b2.HTML", "/C/c.html",
              "/C/deeper/d.html", "/.hidden/h.html", "/B/x.htm.d/readme", "/ro/r.html",
              "/outside/o.html", "/A/page.htx"}) {
            WriteFileBytes(root + file, "<a href=\"http://x/\">x</a>.");
        }
        ASSERT_EQ(symlink("outside", (root + "/link-to-dir").constData()), 0);
        ASSERT_EQ(symlink("index.html", (root + "/link-to-file.html").constData()), 0);
        ASSERT_EQ(symlink("nowhere.html", (root + "/dangling.html").constData()), 0);
        ASSERT_EQ(mkfifo((root + "/pipe.html").constData(), 0600), 0);
        ASSERT_EQ(chmod((root + "/ro").constData(), 0500), 0);
    }
    void TearDown() override { chmod((root + "/ro").constData(), 0700); }

    TempHome home;
    QByteArray root;
};

TEST_F(DirectoryTreeTest, TreeListsOwnFilesFirstThenSubDirectoriesInReverseOrder)
{
    QList<QByteArray> files;
    AddHtmlFilesTree(files, root);
    EXPECT_EQ(files, ReferenceTree(root));
    EXPECT_TRUE(files.contains(root + "/C/deeper/d.html"));
    EXPECT_TRUE(files.contains(root + "/B/x.htm.d/readme")) << "a directory name holds .htm";
    EXPECT_TRUE(files.contains(root + "/ro/r.html")) << "permission bits do not matter";
    EXPECT_TRUE(files.contains(root + "/link-to-file.html"));
    EXPECT_FALSE(files.contains(root + "/.hidden/h.html"));
    EXPECT_FALSE(files.contains(root + "/link-to-dir/o.html"))
        << "links to directories are not entered";
    EXPECT_FALSE(files.contains(root + "/pipe.html"));
    EXPECT_FALSE(files.contains(root + "/dangling.html"));
    EXPECT_FALSE(files.contains(root + "/A/page.htx"));
}

TEST_F(DirectoryTreeTest, RunFileQueueFollowsTheTwoChoices)
{
    const QByteArray named = root + "/notes.txt";
    EXPECT_EQ(QueueRunFiles(named, false, false), QList<QByteArray>{named});
    EXPECT_TRUE(QueueRunFiles(named, true, false).isEmpty()) << "sub-directories alone";

    QList<QByteArray> ownFiles;
    AddHtmlFiles(ownFiles, root);
    EXPECT_EQ(QueueRunFiles(named, false, true), ownFiles);
    EXPECT_EQ(ownFiles.size(), 2) << "index.html and the link to it; no pipe, no dangling link";
    EXPECT_EQ(QueueRunFiles(named, true, true), ReferenceTree(root));

    ASSERT_EQ(chdir(root.constData()), 0);
    QList<QByteArray> relative = QueueRunFiles("index.html", false, true);
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_TRUE(relative.contains("./index.html"));
}

TEST(DirectoryWalkTest, MissingDirectoryContributesNothing)
{
    TempHome home;
    QList<QByteArray> files{"kept"};
    AddHtmlFiles(files, home.file("missing"));
    AddHtmlFilesTree(files, home.file("missing"));
    EXPECT_EQ(files, QList<QByteArray>{"kept"});
}

TEST(DirectoryWalkTest, TreesThousandsOfLevelsDeepAreWalked)
{
    TempHome home;
    constexpr int kLevels = 3000;
    ASSERT_EQ(chdir(home.path().constData()), 0);
    QByteArray expectedDeepest = home.path();
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(mkdir("dd", 0700), 0);
        ASSERT_EQ(chdir("dd"), 0);
        expectedDeepest += "/dd";
    }
    const int fd = open("bottom.html", O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);

    QList<QByteArray> files;
    AddHtmlFilesTree(files, home.path());
    EXPECT_EQ(files, QList<QByteArray>{expectedDeepest + "/bottom.html"});

    unlink("bottom.html");
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(chdir(".."), 0);
        rmdir("dd");
    }
    ASSERT_EQ(chdir("/"), 0);
}

} // namespace
