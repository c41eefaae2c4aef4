#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/smallfilesystem.h"
#include "support/temphome.h"

namespace {

using namespace std::chrono_literals;

struct RecordingListener final : SettingsWriteListener
{
    void SettingNotStored(const SettingsWriteFailure &failure) override
    {
        told.append(SettingsWriteFailureText(failure));
    }
    QStringList told;
};

QString NotStored(const char *section, const char *value, const char *why)
{
    return SettingsWriteFailureText({section, value, QString::fromUtf8(why)});
}

int StoredX()
{
    return StartSettingsStore()->ReadInt("Screen", "x", -1);
}

bool WaitUntil(const std::function<bool()> &condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// Another program that holds the settings file's lock until released.
class LockHolder
{
public:
    explicit LockHolder(const TempHome &home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTREL_TEST_HOLD_LOCK"),
                           QFile::decodeName(home.file("settings.reg.lock")));
        m_child.setProcessEnvironment(environment);
        m_child.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=SettingsWrite.LockHolderChild")});
        m_child.waitForStarted();
        QByteArray said;
        while (!said.contains("held") && m_child.state() == QProcess::Running) {
            m_child.waitForReadyRead(1000);
            said += m_child.readAllStandardOutput();
        }
    }
    ~LockHolder() { Release(); }
    void Release()
    {
        m_child.closeWriteChannel();
        m_child.waitForFinished(10000);
    }

private:
    QProcess m_child;
};

} // namespace

// Run only as a child of the test below: takes the lock and keeps it until
// its standard input closes.
TEST(SettingsWrite, LockHolderChild)
{
    const QByteArray lockPath = qgetenv("VANTREL_TEST_HOLD_LOCK");
    if (lockPath.isEmpty())
        GTEST_SKIP() << "started by SettingsWrite.AWriteMeetingAnotherProgramsLockNeverStalls";
    QLockFile lock(QFile::decodeName(lockPath));
    ASSERT_TRUE(lock.tryLock(5000));
    std::puts("held");
    std::fflush(stdout);
    char buffer[64];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

TEST(SettingsWrite, AWriteMeetingAnotherProgramsLockNeverStalls)
{
    TempHome home;
    const auto settings = StartSettingsStore();
    RecordingListener listener;
    settings->SetWriteListener(&listener);
    ASSERT_TRUE(settings->WriteInt("Screen", "x", 1));

    // The value waits, reads see it, and it lands once the lock is free.
    auto holder = std::make_unique<LockHolder>(home);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(settings->WriteInt("Screen", "x", 2));
    EXPECT_FALSE(settings->WriteInt("Screen", "x", 3));
    EXPECT_LT(clock.elapsed(), 1000) << "the window would stall";
    EXPECT_TRUE(settings->HasPendingWrites());
    EXPECT_EQ(settings->ReadInt("Screen", "x", -1), 3);
    EXPECT_EQ(StoredX(), 1);
    holder->Release();
    EXPECT_TRUE(WaitUntil([&] { return !settings->HasPendingWrites(); }));
    EXPECT_EQ(StoredX(), 3);
    EXPECT_TRUE(listener.told.isEmpty());

    // A lock that stays taken past the patience: told once, nothing stored,
    // whether the write retried from the event loop or waited.
    holder = std::make_unique<LockHolder>(home);
    settings->SetLockWait(SettingsLockWait::RetryFromEventLoop, 300ms);
    EXPECT_FALSE(settings->WriteInt("Screen", "x", 4));
    EXPECT_TRUE(WaitUntil([&] { return !settings->HasPendingWrites(); }));
    settings->SetLockWait(SettingsLockWait::Block, 300ms);
    EXPECT_FALSE(settings->WriteInt("Screen", "y", 5));
    EXPECT_EQ(
        listener.told,
        QStringList({NotStored("Screen", "x", "the settings file is locked by another program"),
                     NotStored("Screen", "y", "the settings file is locked by another program")}));
    EXPECT_EQ(settings->ReadInt("Screen", "x", -1), 3);
}

TEST(SettingsWrite, AFullDiskIsToldOncePerSettingUntilAWriteOfItSucceeds)
{
    const QString unavailable = RunOnSmallFileSystem(128 * 1024, [](const QByteArray &root) {
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(root + "/home")));
        qputenv("VANTREL_HOME", root + "/home");
        const auto settings = StartSettingsStore();
        RecordingListener listener;
        settings->SetWriteListener(&listener);
        ASSERT_TRUE(settings->WriteInt("Screen", "x", 10));

        FillFileSystem(root, 0);
        // A window dragged across a full disk: told once for each setting.
        for (int x = 20; x < 23; ++x) {
            EXPECT_FALSE(settings->WriteInt("Screen", "x", x));
            EXPECT_FALSE(settings->WriteInt("Screen", "y", x));
        }
        EXPECT_FALSE(settings->HasPendingWrites());
        EXPECT_EQ(settings->ReadInt("Screen", "x", -1), 10);
        const QString x = NotStored("Screen", "x", "No space left on device");
        const QString y = NotStored("Screen", "y", "No space left on device");
        EXPECT_EQ(listener.told, QStringList({x, y}));

        // After a write of it succeeded, a new failure is told again.
        ASSERT_TRUE(QFile::remove(QFile::decodeName(root + "/filler")));
        EXPECT_TRUE(settings->WriteInt("Screen", "x", 30));
        FillFileSystem(root, 0);
        EXPECT_FALSE(settings->WriteInt("Screen", "x", 40));
        EXPECT_FALSE(settings->WriteInt("Screen", "y", 40));
        EXPECT_EQ(listener.told, QStringList({x, y, x}));
    });
    if (!unavailable.isEmpty())
        GTEST_SKIP() << unavailable.toStdString();
}
