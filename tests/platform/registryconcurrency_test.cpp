#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include "platform/registry.h"
#include "support/temphome.h"

namespace {

const QByteArray kSharedKey = "Software\\Kestrine Software\\Vantrel\\Shared";
constexpr int kWriters = 3;
constexpr int kWritesEach = 25;

QByteArray ValueName(int writer, int index)
{
    return "W" + QByteArray::number(writer) + "_" + QByteArray::number(index);
}

} // namespace

// Run only as a child of the test below: one program writing its own values
// into the shared settings file while the others do the same.
TEST(RegistryConcurrency, WriterChild)
{
    const QByteArray writer = qgetenv("VANTREL_TEST_WRITER");
    if (writer.isEmpty())
        GTEST_SKIP() << "started by RegistryConcurrency.ProgramsNeverLoseEachOthersWrites";
    for (int i = 0; i < kWritesEach; ++i) {
        RegKey key;
        ASSERT_TRUE(key.Create(RegRoot::LocalMachine, kSharedKey));
        ASSERT_TRUE(key.SetValue(ValueName(writer.toInt(), i), QByteArray::number(i)));
    }
}

TEST(RegistryConcurrency, ProgramsNeverLoseEachOthersWrites)
{
    TempHome home;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        auto child = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTREL_HOME"), QFile::decodeName(home.path()));
        environment.insert(QStringLiteral("VANTREL_TEST_WRITER"), QString::number(writer));
        child->setProcessEnvironment(environment);
        child->setProcessChannelMode(QProcess::ForwardedChannels);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_filter=RegistryConcurrency.WriterChild")});
        children.push_back(std::move(child));
    }
    for (const auto &child : children) {
        ASSERT_TRUE(child->waitForFinished(120000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), 0);
    }

    RegKey key;
    ASSERT_TRUE(key.Open(RegRoot::LocalMachine, kSharedKey));
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kWritesEach; ++i) {
            QByteArray text;
            EXPECT_TRUE(key.QueryValue(ValueName(writer, i), text, 16)) << writer << " " << i;
            EXPECT_EQ(text, QByteArray::number(i));
        }
    }
}
