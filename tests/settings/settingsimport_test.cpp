#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/registry.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/temphome.h"

namespace {

template <std::size_t N> QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

std::unique_ptr<CRegSettings> StartWithIni(const TempHome &home, const QByteArray &ini)
{
    WriteFileBytes(home.file("Vantrel.INI"), ini);
    return StartSettingsStore();
}

// Reads a value past the store's 260-byte bound.
QByteArray RawValue(const QByteArray &section, const QByteArray &name)
{
    RegKey key;
    QByteArray text;
    const QByteArray path = QByteArray(kProgramKeyPath) + '\\' + section;
    if (!key.Open(RegRoot::LocalMachine, path) || !key.QueryValue(name, text, 4096))
        return "<missing>";
    return text;
}

} // namespace

TEST(SettingsImport, FirstStartImportsTheIniFileOnce)
{
    TempHome home;
    const QByteArray ini = "[Settings]\nTimeout=30\n";
    EXPECT_EQ(StartWithIni(home, ini)->ReadInt("Settings", "Timeout", 15), 30);

    const QByteArray changed = "[Settings]\nTimeout=40\nFilter=000000000000000000000\n";
    const auto again = StartWithIni(home, changed);
    EXPECT_EQ(again->ReadInt("Settings", "Timeout", 15), 30);
    EXPECT_EQ(again->ReadString("Settings", "Filter", "default"), "default");
    EXPECT_EQ(ReadFileBytes(home.file("Vantrel.INI")), changed);
}

// A new user tests today's web; settings brought from an older installation
// keep the classic rules unless they say otherwise. Only a new store is set.
TEST(SettingsImport, ANewStoreStartsInTodaysWebUnlessAnIniFileCameWithIt)
{
    const struct
    {
        const char *name;
        std::optional<QByteArray> ini;
        int todaysWeb;
    } cases[] = {
        {"fresh start", std::nullopt, 1},
        {"empty INI", QByteArray(), 0},
        {"INI of other settings", QByteArray("[Settings]\nTimeout=30\n"), 0},
        {"INI that asks for it", QByteArray("[Settings]\nTodaysWeb=1\n"), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempHome home;
        ASSERT_EQ(unlink(home.file("Vantrel.INI").constData()), 0);
        if (c.ini)
            WriteFileBytes(home.file("Vantrel.INI"), *c.ini);
        EXPECT_EQ(StartSettingsStore()->ReadInt("Settings", "TodaysWeb", 0), c.todaysWeb);

        // The user's own choice stands at every later start.
        StartSettingsStore()->WriteInt("Settings", "TodaysWeb", 1 - c.todaysWeb);
        EXPECT_EQ(StartSettingsStore()->ReadInt("Settings", "TodaysWeb", -1), 1 - c.todaysWeb);
    }
}

TEST(SettingsImport, LinesAreReadAsTheyStand)
{
    TempHome home;
    const auto settings = StartWithIni(home, "Early=lost before any section\n"
                                             "; a comment\n"
                                             "  [ Font ]  \n"
                                             "Face = Arial\n"
                                             "[Font] x\n"
                                             "After=still in Font\n"
                                             "[Settings]\r\n"
                                             "Timeout=30\r\n"
                                             "Filter=0=1\n"
                                             "=unnamed\n"
                                             "\t[Font]\n"
                                             "Height=120\n");
    EXPECT_EQ(settings->ReadString("Font", "Face ", "none"), " Arial");
    EXPECT_EQ(settings->ReadString("Font", "Face", "none"), "none");
    EXPECT_EQ(settings->ReadString("Font", "After", "none"), "still in Font");
    EXPECT_EQ(settings->ReadInt("Font", "Height", 100), 120);
    EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 15), 30);
    EXPECT_EQ(settings->ReadString("Settings", "Filter", "none"), "0=1");
    EXPECT_EQ(settings->ReadString("Settings", "", "none"), "unnamed");

    const QByteArray file = ReadFileBytes(home.file("settings.reg"));
    EXPECT_FALSE(file.contains("Early"));
    EXPECT_FALSE(file.contains("comment"));
    EXPECT_EQ(file.count("\\Font]"), 1);
}

TEST(SettingsImport, LongLinesArriveInPiecesOf519Characters)
{
    TempHome home;
    const auto settings =
        StartWithIni(home, "[Settings]\n"
                           "Long=" +
                               QByteArray(600, 'a') + "\n" + QByteArray(519, 'p') + "Second=two\n");
    // The rest of the long line is a piece of its own with no "=".
    EXPECT_EQ(RawValue("Settings", "Long"), QByteArray(514, 'a'));
    EXPECT_EQ(settings->ReadString("Settings", "Second", "none"), "two");
}

TEST(SettingsImport, BinaryBytesDoNotStopTheImport)
{
    TempHome home;
    const auto settings =
        StartWithIni(home, Bytes("[Settings]\nA=1\0 hidden\nB=\xff\x01\x02\nC=3"));
    EXPECT_EQ(settings->ReadString("Settings", "A", "none"), "1");
    EXPECT_EQ(settings->ReadString("Settings", "B", "none"), "\xff\x01\x02");
    EXPECT_EQ(settings->ReadString("Settings", "C", "none"), "3");
}

TEST(SettingsImport, OnlyTheExactFileNameIsImported)
{
    TempHome home;
    WriteFileBytes(home.file("vantrel.ini"), "[Settings]\nTimeout=30\n");
    EXPECT_EQ(StartSettingsStore()->ReadInt("Settings", "Timeout", 15), 15);
}

TEST(SettingsImport, APipeInPlaceOfTheIniFileIsSkippedWithoutWaiting)
{
    struct Case
    {
        const char *name;
        bool throughLink;
    };
    const auto previousSigpipe = std::signal(SIGPIPE, SIG_IGN);
    for (const Case c : {Case{"pipe", false}, Case{"link to a pipe", true}}) {
        SCOPED_TRACE(c.name);
        TempHome home;
        ASSERT_EQ(unlink(home.file("Vantrel.INI").constData()), 0);
        const QByteArray pipe = home.file(c.throughLink ? "pipe" : "Vantrel.INI");
        ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
        if (c.throughLink) {
            ASSERT_EQ(symlink(pipe.constData(), home.file("Vantrel.INI").constData()), 0);
        }

        // Sends settings as soon as anyone opens the pipe for reading: an
        // import that opened it would store them (or wait for ever).
        std::thread writer([&pipe] {
            const int fd = open(pipe.constData(), O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            const QByteArray ini = "[Piped]\nValue=read from a pipe\n";
            if (write(fd, ini.constData(), ini.size()) < 0) {
                // Nobody reads any more: that is what the test wants.
            }
            close(fd);
        });
        const auto settings = StartSettingsStore();
        // Lets the writer go when nobody opened the pipe.
        const int release = open(pipe.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        writer.join();
        close(release);

        EXPECT_EQ(settings->ReadString("Piped", "Value", "none"), "none");
        EXPECT_TRUE(ReadFileBytes(home.file("settings.reg")).contains("\\Vantrel]"))
            << "start-up went on and made the program key";

        // The key is new again at a later start: a real file is imported.
        ASSERT_EQ(unlink(home.file("settings.reg").constData()), 0);
        ASSERT_EQ(unlink(home.file("Vantrel.INI").constData()), 0);
        EXPECT_EQ(
            StartWithIni(home, "[Settings]\nTimeout=30\n")->ReadInt("Settings", "Timeout", 15), 30);
    }
    std::signal(SIGPIPE, previousSigpipe);
}
