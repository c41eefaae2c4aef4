#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/temphome.h"

namespace {

const QByteArray kProgramKey = "Software\\Kestrine Software\\Vantrel";

QByteArray Query(const QByteArray &subKey, const QByteArray &name, qsizetype bufferSize = 4096)
{
    RegKey key;
    QByteArray text;
    if (!key.Open(RegRoot::LocalMachine, subKey) || !key.QueryValue(name, text, bufferSize))
        return "<missing>";
    return text;
}

bool Set(const QByteArray &subKey, const QByteArray &name, const QByteArray &text)
{
    RegKey key;
    return key.Create(RegRoot::LocalMachine, subKey) && key.SetValue(name, text);
}

} // namespace

TEST(Registry, WritesTheReadableFileFormat)
{
    TempHome home;
    ASSERT_TRUE(Set(kProgramKey + "\\Settings", "Filter", "011"));
    ASSERT_TRUE(Set(kProgramKey + "\\Settings", "", "unnamed"));
    RegKey empty;
    ASSERT_TRUE(empty.Create(RegRoot::LocalMachine, kProgramKey + "\\Empty"));
    ASSERT_TRUE(Set(kProgramKey + "\\Settings", "Filter", "100"));

    EXPECT_EQ(ReadFileBytes(home.file("settings.reg")),
              "Vantrel Settings 1\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Settings]\n"
              "\"Filter\"=\"100\"\n"
              "@=\"unnamed\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Empty]\n");
}

TEST(Registry, CreateReportsNewOrExistingAndOpenNeedsAnExistingKey)
{
    TempHome home;
    RegKey key;
    RegDisposition disposition{};
    EXPECT_FALSE(key.Open(RegRoot::LocalMachine, kProgramKey));

    ASSERT_TRUE(key.Create(RegRoot::LocalMachine, kProgramKey, &disposition));
    EXPECT_EQ(disposition, RegDisposition::CreatedNewKey);
    EXPECT_TRUE(key.IsWritable());
    const QByteArray afterCreate = ReadFileBytes(home.file("settings.reg"));

    // Same key in another case, and a parent that exists only through it.
    for (const QByteArray path :
         {"SOFTWARE\\kestrine software\\VANTREL", "Software\\Kestrine Software",
          "Software\\\\Kestrine Software\\Vantrel\\"}) {
        SCOPED_TRACE(path.constData());
        ASSERT_TRUE(key.Create(RegRoot::LocalMachine, path, &disposition));
        EXPECT_EQ(disposition, RegDisposition::OpenedExistingKey);
        EXPECT_TRUE(key.Open(RegRoot::LocalMachine, path));
        EXPECT_FALSE(key.IsWritable());
    }
    EXPECT_EQ(ReadFileBytes(home.file("settings.reg")), afterCreate);
    EXPECT_FALSE(key.Open(RegRoot::LocalMachine, kProgramKey + "\\Settings"));

    // A read-only handle cannot write or create below itself.
    RegKey sub;
    EXPECT_FALSE(key.SetValue("x", "1"));
    EXPECT_FALSE(key.CreateSubKey("Settings", sub));
    key.Close();
    EXPECT_FALSE(key.IsOpen());
    QByteArray text;
    EXPECT_FALSE(key.QueryValue("x", text, 10));
}

TEST(Registry, NamesMatchWithoutCaseAndKeepTheirFirstSpelling)
{
    TempHome home;
    ASSERT_TRUE(Set(kProgramKey + "\\Settings", "Timeout", "15"));
    ASSERT_TRUE(Set("software\\KESTRINE software\\vantrel\\settings", "TIMEOUT", "30"));
    ASSERT_TRUE(Set("SOFTWARE\\kestrine SOFTWARE\\VANTREL\\Font", "Face", "Arial"));

    EXPECT_EQ(Query("software\\kestrine software\\vantrel\\SETTINGS", "timeout"), "30");
    // ASCII folding only: bytes above 127 must match exactly.
    ASSERT_TRUE(Set(kProgramKey + "\\Settings", "\xc3\xa9t\xc3\xa9", "summer"));
    EXPECT_EQ(Query(kProgramKey + "\\Settings", "\xc3\xa9T\xc3\xa9"), "summer");
    EXPECT_EQ(Query(kProgramKey + "\\Settings", "\xc3\x89t\xc3\xa9"), "<missing>");

    const QByteArray file = ReadFileBytes(home.file("settings.reg"));
    EXPECT_TRUE(
        file.contains("[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Settings]\n"
                      "\"Timeout\"=\"30\"\n"));
    EXPECT_TRUE(
        file.contains("[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Font]\n"));
    EXPECT_FALSE(file.contains("TIMEOUT"));
}

TEST(Registry, AnyBytesRoundTripInNamesValuesAndKeys)
{
    TempHome home;
    const QByteArray texts[] = {
        "",
        "say \"hi\"",
        "C:\\dir\\file",
        "\\x41 stays four characters",
        "two\nlines\r\nand\ttab",
        QByteArray("nul\0inside", 10),
        "\x01\x1f\x7f control",
        "\xc3\xa9t\xc3\xa9 UTF-8 and \xe9t\xe9 Latin-1",
        "[HKEY_LOCAL_MACHINE\\Fake]",
        "@=\"not a value\"",
        "100% %41",
    };
    int index = 0;
    for (const QByteArray &text : texts) {
        SCOPED_TRACE(index);
        // Key segments cannot hold a backslash: it separates them.
        QByteArray segment = text;
        segment.replace('\\', '/');
        const QByteArray subKey = kProgramKey + "\\K" + QByteArray::number(index) + segment;
        const QByteArray name = "N" + text;
        ASSERT_TRUE(Set(subKey, name, text));
        ASSERT_TRUE(Set(subKey, text, "by its own name"));
        EXPECT_EQ(Query(subKey, name), text);
        EXPECT_EQ(Query(subKey, text), "by its own name");
        ++index;
    }
    // Every key is one bracket line and every value one line: nothing leaks
    // a raw line break into the file.
    const QByteArray file = ReadFileBytes(home.file("settings.reg"));
    EXPECT_EQ(file.count('\n'), 1 + 4 * index);
    EXPECT_FALSE(file.contains('\r'));
    EXPECT_FALSE(file.contains('\0'));
}

TEST(Registry, SubKeysOfAnOpenKey)
{
    TempHome home;
    RegKey program;
    ASSERT_TRUE(program.Create(RegRoot::LocalMachine, kProgramKey));
    RegKey section;
    RegDisposition disposition{};
    ASSERT_TRUE(program.CreateSubKey("Font", section, &disposition));
    EXPECT_EQ(disposition, RegDisposition::CreatedNewKey);
    ASSERT_TRUE(section.SetValue("Face", "Arial"));
    EXPECT_EQ(Query(kProgramKey + "\\Font", "Face"), "Arial");
    // An empty sub-key name is the key itself.
    ASSERT_TRUE(program.CreateSubKey("", section, &disposition));
    EXPECT_EQ(disposition, RegDisposition::OpenedExistingKey);
    ASSERT_TRUE(section.SetValue("", "top"));
    EXPECT_EQ(Query(kProgramKey, ""), "top");

    RegKey moved(std::move(section));
    EXPECT_TRUE(moved.IsWritable());
    EXPECT_FALSE(section.IsOpen()); // NOLINT(bugprone-use-after-move)
}
