#include <gtest/gtest.h>

#include "engine/enginetestsupport.h"
#include "results/linkrepair.h"
#include "results/retestinput.h"
#include "support/loopbackserver.h"

namespace {

TEST(ResultCommandsTest, RetestClearsTheWindowAndRunsTheReportedLinksAgain)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray page = h.Html("a.html", "<a href=\"http://127.0.0.1/x\">X</a>"
                                             "<a href=\"http://127.0.0.1/y\">Y</a>.");
    h.engine->StartTest(page, false, false);
    h.RunToEnd();
    ASSERT_EQ(h.engine->ReportText().count("HTTP Code 404"), 2);

    OnRetestFailedLinks(*h.engine);
    EXPECT_TRUE(h.engine->m_bRunning);
    EXPECT_FALSE(h.engine->CanRetestOrRepair()) << "disabled until the new run ends";
    h.RunToEnd();
    const QByteArray input = h.home.file("urltmp~1");
    EXPECT_TRUE(h.engine->ReportText().startsWith("Start of test ")) << "the window was cleared";
    EXPECT_EQ(h.engine->ReportText().count("Start of test "), 1);
    EXPECT_TRUE(h.engine->ReportText().contains(
        "<Testing: " + input +
        "\r\n\"http://127.0.0.1/x\" >X<\r\n*Reason for Failure: HTTP Code 404 "
        "Not Found\r\n\"http://127.0.0.1/y\" >Y<\r\n*Reason for Failure: HTTP Code 404 Not "
        "Found\r\n"
        ">Results for " +
        input + ": URLs tested: 2. URL errors: 2.\r\n"));

    OnRetestFailedLinks(*h.engine);
    h.RunToEnd();
    EXPECT_EQ(h.engine->ReportText().count("HTTP Code 404"), 2) << "a re-test of a re-test";
    EXPECT_EQ(server.requests().size(), 6);
}

TEST(ResultCommandsTest, RetestThatCannotWriteItsInputChangesNothing)
{
    EngineHarness h;
    h.engine->StartTest(h.Html("a.txt", ""), false, true);
    h.RunToEnd();
    const QByteArray before = h.engine->ReportText();
    qputenv("VANTREL_HOME", h.home.file("a.txt"));
    OnRetestFailedLinks(*h.engine);
    EXPECT_EQ(h.engine->ReportText(), before);
    EXPECT_FALSE(h.engine->m_bRunning);
    ASSERT_EQ(h.ui.messages.size(), 1);
    EXPECT_TRUE(h.ui.messages.first().startsWith(QStringLiteral("The links cannot be re-tested")));
    qputenv("VANTREL_HOME", h.home.path());
}

TEST(ResultCommandsTest, RepairAfterAnUnknownCodeAsksFirst)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 299 Odd"));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray original = "<a href=\"http://127.0.0.1/odd\">odd</a>\n";
    const QByteArray page = h.Html("a.html", original);
    h.engine->StartTest(page, false, false);
    h.RunToEnd();
    ASSERT_TRUE(h.engine->Categories().m_bUnknownCode);

    int dialogs = 0;
    const auto chooseDisable = [&dialogs]() -> std::optional<int> {
        ++dialogs;
        return REPAIR_DISABLE_LINE;
    };
    h.ui.answerYes = false;
    EXPECT_FALSE(OnRepairFailedLinks(*h.engine, chooseDisable));
    EXPECT_EQ(h.ui.questions, QStringList{UnknownCodeQuestion()});
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(ReadFileBytes(page), original);

    h.ui.answerYes = true;
    EXPECT_FALSE(OnRepairFailedLinks(*h.engine, [] { return std::optional<int>(); }))
        << "Cancel in the dialog";
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_TRUE(OnRepairFailedLinks(*h.engine, chooseDisable));
    EXPECT_EQ(ReadFileBytes(page), QByteArray("<!--<a href=\"http://127.0.0.1/odd\">odd</a>-->\n"));
    EXPECT_EQ(h.ui.messages.last(), QStringLiteral("All URL repairs completed"));
}

} // namespace
