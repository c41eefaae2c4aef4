#include <gtest/gtest.h>

#include <optional>

#include "runcheck.h"
#include "support/loopbackserver.h"
#include "support/scopedenvironment.h"
#include "support/temphome.h"

namespace {

// Two proxies that log what they are asked and refuse it: the run's plain
// link reaches one in absolute form and its https link as a CONNECT, names
// and all (the proxy looks them up, not the program). The environment names
// the first; --proxy, and the stored setting, name the second and win.
TEST(CheckProxyTest, TheRunsRequestsGoThroughTheProxyTheEnvironmentOrTheOptionNames)
{
    TempHome home;
    LoopbackServer fromEnvironment(LoopbackReply::Status("HTTP/1.1 403 Forbidden"));
    LoopbackServer chosen(LoopbackReply::Status("HTTP/1.1 403 Forbidden"));
    ASSERT_TRUE(fromEnvironment.isListening() && chosen.isListening());
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, "<a href=\"http://plain.vantrel.test/a?b=1\">p</a>\n"
                         "<a href=\"https://secure.vantrel.test:8443/s\">s</a>\n");
    const QByteArray environmentUrl = "http://127.0.0.1:" + fromEnvironment.portText();
    const QByteArray chosenUrl = "http://127.0.0.1:" + chosen.portText();
    ScopedEnvironment http{"http_proxy", environmentUrl};
    ScopedEnvironment https{"https_proxy", environmentUrl};
    ScopedEnvironment noProxy{"no_proxy", std::nullopt};
    ScopedEnvironment noProxyUpper{"NO_PROXY", std::nullopt};
    ScopedEnvironment all{"all_proxy", std::nullopt};
    ScopedEnvironment allUpper{"ALL_PROXY", std::nullopt};

    const QList<QByteArray> run = {"--modern", "--filter", QByteArray(29, '1'), page};
    struct Row
    {
        const char *what;
        QList<QByteArray> extra;
        LoopbackServer *proxy;
    };
    const Row rows[] = {
        {"environment", {}, &fromEnvironment},
        {"--proxy", {"--proxy", chosenUrl}, &chosen},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const int before = static_cast<int>(row.proxy->requests().size());
        const CheckResult result = RunCheck(row.extra + run);
        EXPECT_EQ(result.exitCode, 1) << result.err.constData();
        EXPECT_TRUE(result.out.contains(
            "\"http://plain.vantrel.test/a?b=1\" >p<\r\n*Reason for Failure: HTTP Code 403 "
            "Forbidden\r\n"))
            << result.out.constData();
        EXPECT_TRUE(result.out.contains("\"https://secure.vantrel.test:8443/s\" >s<\r\n*Reason for "
                                        "Failure: Can't Connect to Host\r\n"))
            << result.out.constData();
        const QList<QByteArray> asked = row.proxy->requests().mid(before);
        ASSERT_EQ(asked.size(), 2);
        const QByteArray both = asked.join();
        EXPECT_TRUE(both.contains("GET http://plain.vantrel.test/a?b=1 HTTP/1.1\r\n"
                                  "Host: plain.vantrel.test\r\n"))
            << both.constData();
        EXPECT_TRUE(both.contains("CONNECT secure.vantrel.test:8443 HTTP/1.1\r\n"))
            << both.constData();
    }
    EXPECT_EQ(fromEnvironment.requests().size(), 2) << "the option wins over the environment";

    // The stored setting, as the Settings dialog writes it, wins too.
    TempHome storedHome;
    WriteFileBytes(storedHome.file("Vantrel.INI"), "[Settings]\nProxy=" + chosenUrl + "\n");
    const CheckResult stored = RunCheck(run);
    EXPECT_EQ(stored.exitCode, 1) << stored.err.constData();
    EXPECT_EQ(chosen.requests().size(), 4);
    EXPECT_EQ(fromEnvironment.requests().size(), 2);
}

} // namespace
