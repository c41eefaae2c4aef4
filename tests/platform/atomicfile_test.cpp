#include "platform/atomicfile.h"

#include <climits>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "support/shareddirectory.h"
#include "support/temphome.h"

namespace {

// What can be seen of every entry below a directory (links not followed):
// type, permissions, owner, inode and contents (a link's target).
std::map<QByteArray, QByteArray> TreeOf(const QByteArray &directory)
{
    std::map<QByteArray, QByteArray> tree;
    QDirIterator it(QFile::decodeName(directory),
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray path = QFile::encodeName(it.next());
        struct stat info
        {};
        lstat(path.constData(), &info);
        char target[PATH_MAX];
        const ssize_t length = readlink(path.constData(), target, sizeof target);
        tree[path.mid(directory.size() + 1)] =
            QByteArray::number(info.st_mode, 8) + ' ' + QByteArray::number(info.st_uid) + ' ' +
            QByteArray::number(info.st_ino) + ' ' + QByteArray(target, qMax<ssize_t>(length, 0)) +
            (S_ISREG(info.st_mode) ? ReadFileBytes(path) : QByteArray());
    }
    return tree;
}

QByteArray File(const QByteArray &path)
{
    WriteFileBytes(path, "old");
    return path;
}

QByteArray Link(const QByteArray &target, const QByteArray &path)
{
    EXPECT_EQ(symlink(target.constData(), path.constData()), 0) << path.constData();
    return path;
}

QByteArray Given(const QByteArray &path)
{
    GiveToOtherUser(path);
    return path;
}

QByteArray Shared(const QByteArray &dir)
{
    MakeSharedDirectory(dir + "/shared");
    return dir + "/shared";
}

struct PlaceCase
{
    const char *name;
    bool needsRoot;
    // Builds the scene in a directory and returns the path to write.
    std::function<QByteArray(const QByteArray &dir)> make;
    // Where the new contents land; null when the write must fail and leave
    // every entry as it was.
    const char *written;
};

TEST(AtomicFile, WritesOnlyWhereTheUserCouldHaveWrittenAndNeverThroughAStrangersLink)
{
    const PlaceCase cases[] = {
        {"own link in a shared directory", false,
         [](const QByteArray &d) { return Link(File(d + "/mine.txt"), Shared(d) + "/out.txt"); },
         "mine.txt"},
        {"loop of links", false,
         [](const QByteArray &d) {
             Link("b", d + "/a");
             return Link("a", d + "/b");
         },
         nullptr},
        {"file nobody may write", false,
         [](const QByteArray &d) {
             chmod(File(d + "/locked.txt").constData(), 0444);
             return d + "/locked.txt";
         },
         nullptr},
        {"link to a pipe", false,
         [](const QByteArray &d) {
             mkfifo((d + "/pipe").constData(), 0600);
             return Link("pipe", d + "/out.txt");
         },
         nullptr},
        {"another user's link in a shared directory", true,
         [](const QByteArray &d) {
             return Given(Link(Given(File(d + "/victim.txt")), Shared(d) + "/out.txt"));
         },
         nullptr},
        {"another user's directory link on the way", true,
         [](const QByteArray &d) {
             mkdir((d + "/victim").constData(), 0700);
             return Given(Link(d + "/victim", Shared(d) + "/dir")) + "/out.txt";
         },
         nullptr},
        {"another user's file in a shared directory", true,
         [](const QByteArray &d) {
             const QByteArray path = Given(File(Shared(d) + "/theirs.txt"));
             chmod(path.constData(), 0666);
             return path;
         },
         nullptr},
        {"link of the shared directory's owner", true,
         [](const QByteArray &d) {
             return Given(Link(File(d + "/target.txt"), Given(Shared(d)) + "/out.txt"));
         },
         "target.txt"},
        {"another user's file in an ordinary directory keeps its owner", true,
         [](const QByteArray &d) { return Given(File(d + "/theirs.txt")); }, "theirs.txt"},
    };
    for (const PlaceCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !CanGiveFilesAway()) {
            std::printf("(case \"%s\" not run: only the superuser can make it)\n", c.name);
            continue;
        }
        const QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        const QByteArray path = c.make(root);
        auto expected = TreeOf(root);

        AtomicFileWriter file(path);
        const bool written = file.Open() && file.Write("new") && file.Commit();
        EXPECT_EQ(written, c.written != nullptr) << file.ErrorString().toStdString();
        EXPECT_TRUE(written || !file.ErrorString().isEmpty()) << "a failure says why";
        auto after = TreeOf(root);
        if (c.written != nullptr) {
            EXPECT_EQ(ReadFileBytes(root + '/' + c.written), "new");
            // The replaced file keeps its type, permissions and owner.
            EXPECT_EQ(after[c.written].split(' ').mid(0, 2),
                      expected[c.written].split(' ').mid(0, 2));
            after.erase(c.written);
            expected.erase(c.written);
        }
        EXPECT_EQ(after, expected) << "nothing else changed, no temporary file was left";
    }
}

} // namespace
