#include "results/reportexport.h"

#include <algorithm>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "results/htmlreport.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/filesizelimit.h"
#include "support/recordingui.h"
#include "support/shareddirectory.h"
#include "support/temphome.h"

namespace {

const QByteArray kReport = "Start of test NOW\r\n\r\n<Testing: /w/a.html\r\n"
                           "\"http://x/\" >x<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n"
                           ">Results for /w/a.html: URLs tested: 1. URL errors: 1.\r\n\r\n";

class ReportExportTest : public testing::Test
{
protected:
    ExportOutcome Export(const QByteArray &path, int format)
    {
        return ExportReport({path, format}, kReport, ui, settings.get());
    }

    TempHome home;
    std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    RecordingUi ui;
};

TEST_F(ReportExportTest, TextReportIsTheReportToItsLastByteAndTheChoiceIsRemembered)
{
    const QByteArray path = home.file("results.txt");
    EXPECT_EQ(Export(path, ExportChoice::Text), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(path), kReport);
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(settings->ReadString("XportSel", "Starter", ""), path);
    EXPECT_EQ(settings->ReadInt("XportSel", "Text", -1), 0);

    EXPECT_EQ(Export(path, ExportChoice::Html), ExportOutcome::Written);
    EXPECT_TRUE(ReadFileBytes(path).startsWith("<!DOCTYPE html>\n"));
    EXPECT_EQ(settings->ReadInt("XportSel", "Text", -1), 1);
}

TEST_F(ReportExportTest, ExistingFileIsReplacedOnlyOnYes)
{
    const QByteArray path = home.file("old.txt");
    WriteFileBytes(path, "old contents");
    chmod(path.constData(), 0640);
    ui.answerYes = false;
    EXPECT_EQ(Export(path, ExportChoice::Text), ExportOutcome::Declined);
    EXPECT_EQ(ui.questions,
              QStringList{QString::fromLocal8Bit(path) +
                          QStringLiteral("\nThis file already exists\n\nReplace existing file?")});
    EXPECT_EQ(ReadFileBytes(path), QByteArray("old contents"));
    EXPECT_EQ(settings->ReadString("XportSel", "Starter", "unset"), QByteArray("unset"))
        << "No changes nothing, not even the settings";

    ui.answerYes = true;
    EXPECT_EQ(Export(path, ExportChoice::Text), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(path), kReport);
    struct stat info
    {};
    ASSERT_EQ(stat(path.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
}

TEST_F(ReportExportTest, FailedWriteLeavesTheOldFileWholeAndSaysSo)
{
    const QByteArray directory = home.file("sub");
    ASSERT_EQ(mkdir(directory.constData(), 0700), 0);
    EXPECT_EQ(Export(directory, ExportChoice::Text), ExportOutcome::WriteError);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("file write error")});
    EXPECT_EQ(settings->ReadString("XportSel", "Starter", ""), directory)
        << "the choice is remembered before the file is written";

    EXPECT_EQ(Export(home.file("missing-dir/out.txt"), ExportChoice::Html),
              ExportOutcome::WriteError);
    EXPECT_EQ(Export("", ExportChoice::Text), ExportOutcome::WriteError);
}

TEST_F(ReportExportTest, WriteThatFailsHalfWayLeavesTheOldFileWhole)
{
    const QByteArray path = home.file("big.html");
    WriteFileBytes(path, "the old export");
    QByteArray longReport;
    for (int i = 0; i < 2000; ++i)
        longReport += kReport;

    // The write stops half-way.
    ExportOutcome outcome = ExportOutcome::Written;
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.IsActive());
        outcome = ExportReport({path, ExportChoice::Html}, longReport, ui, nullptr);
    }

    EXPECT_EQ(outcome, ExportOutcome::WriteError);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("file write error")});
    EXPECT_EQ(ReadFileBytes(path), QByteArray("the old export"));
}

TEST_F(ReportExportTest, ExportThroughALinkWritesTheLinkedFile)
{
    const QByteArray target = home.file("target.txt");
    WriteFileBytes(target, "old");
    const QByteArray link = home.file("link.txt");
    ASSERT_EQ(symlink(target.constData(), link.constData()), 0);
    EXPECT_EQ(Export(link, ExportChoice::Text), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(target), kReport);
    struct stat info
    {};
    ASSERT_EQ(lstat(link.constData(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(ReportExportTest, AnythingAtThePathIsAskedAboutEvenWhenItCannotBeRead)
{
    const QByteArray path = home.file("x");
    const std::function<void()> makers[] = {
        [&] { // a file without read permission (the superuser can still read it)
            WriteFileBytes(path, "old");
            chmod(path.constData(), 0200);
        },
        [&] { // a socket, which nobody can open
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::copy(path.begin(), path.end(), address.sun_path);
            EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
            close(fd);
        },
        [&] { EXPECT_EQ(symlink("later.txt", path.constData()), 0); }, // a link to no file yet
    };
    ui.answerYes = false;
    for (const auto &make : makers) {
        make();
        EXPECT_EQ(Export(path, ExportChoice::Text), ExportOutcome::Declined);
        unlink(path.constData());
    }
    EXPECT_EQ(ui.questions.size(), 3);
    EXPECT_NE(access(home.file("later.txt").constData(), F_OK), 0);
}

TEST_F(ReportExportTest, NeverWritesThroughAStrangersLinkInASharedDirectory)
{
    if (!CanGiveFilesAway())
        GTEST_SKIP() << "only the superuser can give files to another user";
    const QByteArray victim = home.file("victim.txt");
    WriteFileBytes(victim, "precious");
    GiveToOtherUser(victim);
    MakeSharedDirectory(home.file("tmp"));
    const QByteArray link = home.file("tmp/results.txt");
    ASSERT_EQ(symlink(victim.constData(), link.constData()), 0);
    GiveToOtherUser(link);

    EXPECT_EQ(Export(link, ExportChoice::Text), ExportOutcome::WriteError);
    EXPECT_EQ(ui.questions.size(), 1) << "the link exists, so the user is asked first";
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("file write error")});
    EXPECT_EQ(ReadFileBytes(victim), "precious");
}

} // namespace
