#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/registry.h"
#include "support/filesizelimit.h"
#include "support/smallfilesystem.h"
#include "support/temphome.h"

namespace {

const QByteArray kSettingsKey = "Software\\Kestrine Software\\Vantrel\\Settings";

bool Set(const QByteArray &name, const QByteArray &text)
{
    RegKey key;
    return key.Create(RegRoot::LocalMachine, kSettingsKey) && key.SetValue(name, text);
}

QByteArray Query(const QByteArray &name)
{
    RegKey key;
    QByteArray text;
    if (!key.Open(RegRoot::LocalMachine, kSettingsKey) || !key.QueryValue(name, text, 4096))
        return "<missing>";
    return text;
}

// Settings of a few hundred bytes, as a user's would be.
QByteArray StoreSomeSettings(const QByteArray &settingsFile)
{
    EXPECT_TRUE(Set("Filter", "011111111111111111111"));
    EXPECT_TRUE(Set("Timeout", "30"));
    EXPECT_TRUE(Set("BackColor", "16777215"));
    EXPECT_TRUE(Set("Starter", "/home/user/site/" + QByteArray(200, 'p') + ".html"));
    return ReadFileBytes(settingsFile);
}

QStringList EntriesOf(const QByteArray &directory)
{
    return QDir(QFile::decodeName(directory))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace

TEST(RegistryFullDisk, WriteThatStopsHalfWayKeepsEverySetting)
{
    TempHome home;
    const QByteArray file = home.file("settings.reg");
    const QByteArray before = StoreSomeSettings(file);
    ASSERT_GT(before.size(), 300);

    bool written = true;
    {
        const FileSizeLimit limit(static_cast<rlim_t>(before.size() / 2));
        ASSERT_TRUE(limit.IsActive());
        written = Set("Timeout", "45");
    }
    EXPECT_FALSE(written) << "a write that did not reach the disk is not a success";
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_EQ(EntriesOf(home.path()),
              (QStringList{QStringLiteral("settings.reg"), QStringLiteral("Vantrel.INI")}));
    EXPECT_EQ(Query("Timeout"), "30");

    EXPECT_TRUE(Set("Timeout", "45")) << "with room again, writes work";
    EXPECT_EQ(Query("Timeout"), "45");
}

TEST(RegistryFullDisk, FullFileSystemKeepsEverySetting)
{
    const QString unavailable = RunOnSmallFileSystem(128 * 1024, [](const QByteArray &root) {
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(root + "/home")));
        qputenv("VANTREL_HOME", root + "/home");
        const QByteArray file = root + "/home/settings.reg";
        const QByteArray before = StoreSomeSettings(file);

        // One page left: the lock file may take it, and the new settings
        // then have no room. Either way no setting may be lost.
        FillFileSystem(root, 4096);
        if (Set("Timeout", "45")) {
            EXPECT_EQ(Query("Timeout"), "45");
            EXPECT_EQ(Query("Filter"), "011111111111111111111");
        } else {
            EXPECT_EQ(ReadFileBytes(file), before);
        }

        const QByteArray now = ReadFileBytes(file);
        FillFileSystem(root, 0);
        EXPECT_FALSE(Set("Face", "Courier New"));
        EXPECT_EQ(ReadFileBytes(file), now);
        EXPECT_EQ(Query("Filter"), "011111111111111111111");
        EXPECT_EQ(EntriesOf(root + "/home"), QStringList{QStringLiteral("settings.reg")});
    });
    if (!unavailable.isEmpty())
        GTEST_SKIP() << unavailable.toStdString();
}
