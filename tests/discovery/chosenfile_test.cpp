#include "discovery/chosenfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temphome.h"

namespace {

// Only a regular file, or a link to one, is tested: reading a pipe waits for
// ever and a device such as /dev/zero never ends.
TEST(ChosenFileTest, OnlyRegularFilesAndLinksToThemCanBeChosen)
{
    const TempHome home;
    WriteFileBytes(home.file("page.html"), "<a href=\"http://x/\">x</a>");
    WriteFileBytes(home.file("empty.html"), "");
    ASSERT_EQ(mkfifo(home.file("pipe.html").constData(), 0600), 0);
    const char *links[][2] = {{"to-page", "page.html"},
                              {"to-pipe", "pipe.html"},
                              {"to-zero", "/dev/zero"},
                              {"dangling", "gone.html"}};
    for (const auto &link : links)
        ASSERT_EQ(symlink(link[1], home.file(link[0]).constData()), 0);

    const struct
    {
        QByteArray path;
        bool accepted;
    } cases[] = {
        {home.file("page.html"), true},
        {home.file("empty.html"), true},
        {home.file("to-page"), true},
        {home.file("none.html"), false},
        {QByteArray(), false},
        {home.path(), false},
        {home.file("pipe.html"), false},
        {home.file("to-pipe"), false},
        {"/dev/zero", false},
        {"/dev/null", false},
        {home.file("to-zero"), false},
        {home.file("dangling"), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CanOpenChosenFile(c.path), c.accepted) << c.path.constData();
}

} // namespace
