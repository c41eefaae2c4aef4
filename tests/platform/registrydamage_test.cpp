#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "platform/registry.h"
#include "platform/registrystore.h"
#include "support/temphome.h"

namespace {

const QByteArray kSettingsKey = "Software\\Kestrine Software\\Vantrel\\Settings";
const QByteArray kFontKey = "Software\\Kestrine Software\\Vantrel\\Font";

QByteArray Query(const QByteArray &subKey, const QByteArray &name)
{
    RegKey key;
    QByteArray text;
    if (!key.Open(RegRoot::LocalMachine, subKey) || !key.QueryValue(name, text, 4096))
        return "<missing>";
    return text;
}

template <std::size_t N> QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

bool Set(const QByteArray &subKey, const QByteArray &name, const QByteArray &text)
{
    RegKey key;
    return key.Create(RegRoot::LocalMachine, subKey) && key.SetValue(name, text);
}

} // namespace

TEST(RegistryDamage, ReadsWhatItCanAndKeepsEveryOtherLineInPlace)
{
    TempHome home;
    const QByteArray head =
        "garbage where the header belongs\n"
        "\"Orphan\"=\"before any key\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Settings]\r\n";
    const QByteArray timeout = "\"Timeout\"=\"30\"\r\n";
    const QByteArray middle =
        "\"Filter\"=\"0111\n" + Bytes("binary \0\x01\xff junk\n") +
        "\"Bad\"=\"esc\\q\"\n"
        "\"Face\"=dword:00000001\n"
        "[HKEY_CURRENT_USER\\Software\\Kestrine Software\\Vantrel\\Settings]\n"
        "\"Timeout\"=\"99\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Bad%ZZ\\Settings]\n"
        "\"Timeout\"=\"77\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Settings\n"
        "\"Timeout\"=\"55\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Font]\n"
        "\"Face\"=\"Courier\"\n";
    const QByteArray tail = "\"face\"=\"Arial\"";
    ASSERT_EQ(middle.count('\n'), 12);
    WriteFileBytes(home.file("settings.reg"), head + timeout + middle + tail);

    // Blocks of another root, of an undecodable key or of a truncated bracket
    // line never lend their values; the last of two values counts.
    EXPECT_EQ(Query(kSettingsKey, "Timeout"), "30");
    for (const QByteArray name : {"Filter", "Bad", "Face", "Orphan"})
        EXPECT_EQ(Query(kSettingsKey, name), "<missing>") << name.constData();
    EXPECT_EQ(Query(kFontKey, "FACE"), "Arial");

    ASSERT_TRUE(Set(kSettingsKey, "Timeout", "45"));
    ASSERT_TRUE(Set(kSettingsKey, "Filter", "011"));
    ASSERT_TRUE(Set(kFontKey, "Face", "Times"));
    EXPECT_EQ(ReadFileBytes(home.file("settings.reg")),
              "Vantrel Settings 1\n" + head + "\"Timeout\"=\"45\"\r\n\"Filter\"=\"011\"\n" +
                  middle + "\"face\"=\"Times\"\n");
    EXPECT_EQ(Query(kSettingsKey, "Filter"), "011");
}

TEST(RegistryDamage, BinaryGarbageIsKeptAndDoesNotStopWrites)
{
    TempHome home;
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.append(static_cast<char>(seed >> 24));
    }
    WriteFileBytes(home.file("settings.reg"), garbage);
    EXPECT_EQ(Query(kSettingsKey, "Timeout"), "<missing>");

    ASSERT_TRUE(Set(kSettingsKey, "Timeout", "20"));
    EXPECT_EQ(Query(kSettingsKey, "Timeout"), "20");
    EXPECT_TRUE(
        ReadFileBytes(home.file("settings.reg")).startsWith("Vantrel Settings 1\n" + garbage));
}

TEST(RegistryDamage, AFileThatCannotBeReadGivesNothingAndIsNeverReplaced)
{
    const QByteArray valid =
        "Vantrel Settings 1\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kestrine Software\\Vantrel\\Settings]\n"
        "\"Timeout\"=\"30\"\n";
    struct Case
    {
        const char *name;
        bool readableByRoot;
        std::function<void(const QByteArray &path)> make;
    };
    const Case cases[] = {
        {"directory", false,
         [](const QByteArray &path) {
             ASSERT_EQ(mkdir(path.constData(), 0700), 0);
         }},
        {"pipe", false,
         [](const QByteArray &path) {
             ASSERT_EQ(mkfifo(path.constData(), 0600), 0);
         }},
        {"too large", false,
         [&](const QByteArray &path) {
             WriteFileBytes(path, valid);
             ASSERT_TRUE(QFile::resize(QFile::decodeName(path), RegistryStore::kMaxFileSize + 1));
         }},
        {"no permission", true,
         [&](const QByteArray &path) {
             WriteFileBytes(path, valid);
             ASSERT_EQ(chmod(path.constData(), 0), 0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readableByRoot && geteuid() == 0)
            continue;
        TempHome home;
        const QByteArray path = home.file("settings.reg");
        c.make(path);
        if (testing::Test::HasFatalFailure())
            return;
        struct stat before
        {};
        ASSERT_EQ(stat(path.constData(), &before), 0);

        RegKey key;
        EXPECT_FALSE(key.Open(RegRoot::LocalMachine, kSettingsKey));
        EXPECT_EQ(Query(kSettingsKey, "Timeout"), "<missing>");
        EXPECT_FALSE(key.Create(RegRoot::LocalMachine, kSettingsKey));
        EXPECT_FALSE(Set("Software\\Other", "x", "1"));

        struct stat after
        {};
        ASSERT_EQ(stat(path.constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
        chmod(path.constData(), 0600);
    }
}
