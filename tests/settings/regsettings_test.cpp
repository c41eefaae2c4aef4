#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

#include "platform/registry.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/temphome.h"

namespace {

const QByteArray kProgramKey = kProgramKeyPath;
const QByteArray kEmptyStore = "Vantrel Settings 1\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel]\n";

bool KeyExists(const QByteArray &section)
{
    RegKey key;
    return key.Open(RegRoot::LocalMachine, kProgramKey + '\\' + section);
}

} // namespace

TEST(RegSettings, FirstStartWithoutIniCreatesTheEmptyProgramKeyAndReadsDefaults)
{
    TempHome home;
    const auto settings = StartSettingsStore();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->m_strKey, kProgramKey);
    EXPECT_EQ(settings->m_hRoot, RegRoot::LocalMachine);
    EXPECT_EQ(ReadFileBytes(home.file("settings.reg")), kEmptyStore);

    EXPECT_EQ(settings->ReadString("Settings", "Filter", "011111111111111111111"),
              "011111111111111111111");
    EXPECT_EQ(settings->ReadInt("Settings", "BackColor", -1), -1);
    EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 15), 15);
    EXPECT_EQ(settings->ReadString("Font", "Face", "Arial"), "Arial");
    EXPECT_EQ(settings->ReadString("FileSel", "Starter", ""), "");
    EXPECT_EQ(settings->ReadInt("Screen", "cx", 0), 0);

    // Reads never create a section; the first write does.
    EXPECT_EQ(ReadFileBytes(home.file("settings.reg")), kEmptyStore);
    EXPECT_FALSE(KeyExists("FileSel"));
    EXPECT_TRUE(settings->WriteInt("FileSel", "Recurse", 1));
    EXPECT_TRUE(KeyExists("FileSel"));
    EXPECT_EQ(settings->ReadInt("FileSel", "Recurse", 0), 1);
}

TEST(RegSettings, IntegersAreStoredAsDecimalText)
{
    TempHome home;
    const auto settings = StartSettingsStore();
    const struct
    {
        int value;
        const char *text;
    } cases[] = {{-1, "-1"},
                 {0, "0"},
                 {0x00336699, "3368601"},
                 {INT_MAX, "2147483647"},
                 {INT_MIN, "-2147483648"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(settings->WriteInt("Settings", "BackColor", c.value));
        EXPECT_EQ(settings->ReadString("Settings", "BackColor", "none"), c.text);
        EXPECT_EQ(settings->ReadInt("Settings", "BackColor", 7), c.value);
    }
}

TEST(RegSettings, IntegersReadAsALeadingDecimalNumber)
{
    TempHome home;
    const auto settings = StartSettingsStore();
    const struct
    {
        const char *text;
        int expected;
    } cases[] = {
        {"30", 30},
        {"  \t\n42", 42},
        {"-7x", -7},
        {"+5", 5},
        {"0x1F", 0},
        {"12 34", 12},
        {"abc", 15},
        {"", 15},
        {"-", 15},
        {"- 5", 15},
        {" +", 15},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(settings->WriteString("Settings", "Timeout", c.text));
        EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 15), c.expected);
    }
}

TEST(RegSettings, LongValuesReadBackWhole)
{
    TempHome home;
    const auto settings = StartSettingsStore();
    for (const int length : {0, 259, 260, 300, 5000}) {
        SCOPED_TRACE(length);
        const QByteArray path = ("/home/user/" + QByteArray(length, 'p')).left(length);
        ASSERT_TRUE(settings->WriteString("XportSel", "Starter", path));
        // Read back by another program too: the value is in the file.
        EXPECT_EQ(StartSettingsStore()->ReadString("XportSel", "Starter", "results.txt"), path);
    }
    ASSERT_TRUE(settings->WriteString("Settings", "Timeout", "42" + QByteArray(298, ' ')));
    EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 15), 42);
}

TEST(RegSettings, TwoProgramsKeepEachOthersWrites)
{
    TempHome home;
    const auto first = StartSettingsStore();
    const auto second = StartSettingsStore();
    ASSERT_TRUE(first->WriteInt("Settings", "Timeout", 20));
    ASSERT_TRUE(second->WriteString("Font", "Face", "Courier"));
    ASSERT_TRUE(first->WriteString("Settings", "Filter", "000000000000000000001"));
    ASSERT_TRUE(second->WriteInt("Settings", "BackColor", 255));
    // Nothing is cached: each sees the other's writes at once.
    EXPECT_EQ(first->ReadString("Font", "Face", "Arial"), "Courier");
    EXPECT_EQ(second->ReadInt("Settings", "Timeout", 15), 20);

    const auto third = StartSettingsStore();
    EXPECT_EQ(third->ReadInt("Settings", "Timeout", 15), 20);
    EXPECT_EQ(third->ReadString("Font", "Face", "Arial"), "Courier");
    EXPECT_EQ(third->ReadString("Settings", "Filter", ""), "000000000000000000001");
    EXPECT_EQ(third->ReadInt("Settings", "BackColor", -1), 255);
}

TEST(RegSettings, AnUnusableStoreGivesDefaultsAndFailingWrites)
{
    for (const bool settingsFileIsDirectory : {true, false}) {
        SCOPED_TRACE(settingsFileIsDirectory);
        TempHome home;
        if (settingsFileIsDirectory) {
            ASSERT_EQ(mkdir(home.file("settings.reg").constData(), 0700), 0);
        } else {
            WriteFileBytes(home.file("blocker"), "a file where the directory should be");
            qputenv("VANTREL_HOME", home.file("blocker") + "/vantrel");
        }
        const auto settings = StartSettingsStore();
        ASSERT_TRUE(settings);
        // The store still points at the program key, so later writes retry.
        EXPECT_EQ(settings->m_strKey, kProgramKey);
        EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 15), 15);
        EXPECT_EQ(settings->ReadString("Font", "Face", "Arial"), "Arial");
        EXPECT_FALSE(settings->WriteInt("Settings", "Timeout", 30));
        EXPECT_FALSE(settings->WriteString("Font", "Face", "Courier"));
    }
}
