#include <gtest/gtest.h>

#include "engine/enginetestsupport.h"
#include "results/linkrepair.h"
#include "results/retestinput.h"
#include "support/loopbackserver.h"

namespace {

// A re-test reports each link under its own page, in the order of the
// report, and a repair after it repairs those pages.
TEST(ResultCommandsTest, RetestKeepsThePagesAndARepairAfterItRepairsThem)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray a = h.Html("a.html", "<a href=\"http://127.0.0.1/x\">X</a>"
                                          "<a href=\"http://127.0.0.1/y\">Y</a>.\n");
    const QByteArray b = h.Html("b.html", "<p><a href=\"http://127.0.0.1/z\">Z</a></p>\n");
    h.engine->StartTest(a, false, true);
    h.RunToEnd();
    const QByteArray first = h.engine->ReportText();
    ASSERT_EQ(first.count("HTTP Code 404"), 3);

    OnRetestFailedLinks(*h.engine);
    EXPECT_TRUE(h.engine->IsRunning());
    EXPECT_FALSE(h.engine->CanRetestOrRepair()) << "disabled until the new run ends";
    h.RunToEnd();
    // The pages come in the order of the report it re-tests (the order the
    // directory gave).
    const QByteArray link = "*Reason for Failure: HTTP Code 404 Not Found\r\n";
    const QByteArray pageA = "<Testing: " + a + "\r\n\"http://127.0.0.1/x\" >X<\r\n" + link +
                             "\"http://127.0.0.1/y\" >Y<\r\n" + link + ">Results for " + a +
                             ": URLs tested: 2. URL errors: 2.\r\n\r\n";
    const QByteArray pageB = "<Testing: " + b + "\r\n\"http://127.0.0.1/z\" >Z<\r\n" + link +
                             ">Results for " + b + ": URLs tested: 1. URL errors: 1.\r\n\r\n";
    const bool aFirst = first.indexOf("<Testing: " + a) < first.indexOf("<Testing: " + b);
    const QByteArray date = kTestDate;
    EXPECT_EQ(h.engine->ReportText().toStdString(),
              ("Start of test " + date + "\r\n\r\n" + (aFirst ? pageA + pageB : pageB + pageA) +
               "End of test: " + date + "\r\n\r\n")
                  .toStdString());

    OnRetestFailedLinks(*h.engine);
    h.RunToEnd();
    EXPECT_EQ(h.engine->ReportText().count("HTTP Code 404"), 3) << "a re-test of a re-test";
    EXPECT_EQ(server.requests().size(), 9);

    EXPECT_TRUE(
        OnRepairFailedLinks(*h.engine, [] { return std::optional<int>(REPAIR_DISABLE_LINE); }));
    EXPECT_EQ(ReadFileBytes(a), QByteArray("<!--<a href=\"http://127.0.0.1/x\">X</a>--><!--<a "
                                           "href=\"http://127.0.0.1/y\">Y</a>-->.\n"));
    EXPECT_EQ(ReadFileBytes(b), QByteArray("<p><!--<a href=\"http://127.0.0.1/z\">Z</a>--></p>\n"));
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
