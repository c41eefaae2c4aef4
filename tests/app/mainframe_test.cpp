#include "app/mainframe.h"

#include <QDir>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

TEST(MainFrameTest, WindowIsTitledVantrelAndHoldsAReadOnlyResultsArea)
{
    CMainFrame frame;
    frame.show();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Vantrel"));
    auto *results = qobject_cast<QPlainTextEdit *>(frame.centralWidget());
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isReadOnly());

    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    EXPECT_TRUE(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/mainframe.png")));
}

} // namespace
