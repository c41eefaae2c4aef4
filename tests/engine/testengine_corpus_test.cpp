#include <gtest/gtest.h>

#include "engine/qttimerservice.h"
#include "enginetestsupport.h"
#include "records/reporttextreader.h"
#include "settings/settingsstartup.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"
#include "support/runrecorder.h"

namespace {

struct Probe
{
    QByteArray url;
    // The result line's text, or empty when the outcome is not reported.
    QByteArray result;
};

// A whole run on the real event loop with real timers and a one-second
// time-out, against loopback hosts that answer in every way there is.
class EngineCorpusTest : public testing::Test
{
protected:
    void Run(const QByteArray &file, const ProbePorts &ports, int timeoutSeconds)
    {
        settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", QByteArray(21, '1'));
        settings->WriteInt("Settings", "Timeout", timeoutSeconds);
        EngineOptions options;
        options.ports = ports;
        options.resolver.nameServer = nameServer.serverText();
        options.pollMs = 0;
        options.dateTime = [] {
            return QByteArray(kTestDate);
        };
        QtTimerService timers([this](int id) {
            if (id == TIMER_TIMEOUT)
                ++timeOuts;
            engine->OnTimer(id);
        });
        engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
        engine->AddRunListener(&records);
        engine->StartTest(file, false, false);
        ASSERT_TRUE(SpinUntil([this] { return !engine->IsRunning(); }, std::chrono::seconds(60)));
        report = engine->ReportText();
        engine.reset();
    }

    TempHome home;
    // Every name that is not in the hosts file is unknown.
    LoopbackNameServer nameServer{LoopbackNameServer::Mode::NxDomain};
    std::unique_ptr<CRegSettings> settings;
    RecordingUi ui;
    RunRecorder records;
    std::unique_ptr<CTestEngine> engine;
    QByteArray report;
    // How many probes their time-out ended.
    int timeOuts = 0;
};

TEST_F(EngineCorpusTest, ReportIsExactForEveryKindOfOutcome)
{
    LoopbackServer main;
    ASSERT_TRUE(main.isListening()) << main.errorText().constData();
    const std::uint16_t port = main.port();
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2", port);
    LoopbackServer closer(LoopbackReply::Of(LoopbackReply::Kind::CloseAtOnce), "127.0.0.3", port);
    LoopbackServer ftp(LoopbackReply::Ftp(), "127.0.0.4", port);
    for (const LoopbackServer *server : {&silent, &closer, &ftp})
        ASSERT_TRUE(server->isListening()) << server->errorText().constData();

    std::vector<Probe> probes;
    QByteArray html = "<html><body>\n";
    const auto add = [&](const QByteArray &url, const QByteArray &result) {
        probes.push_back({url, result});
        html += "<a href=\"" + url + "\">link " + QByteArray::number(probes.size()) + "</a>\n";
    };
    const char *const texts[] = {"HTTP Code 200 OK",
                                 "HTTP Code 201 Created",
                                 "HTTP Code 202 Accepted",
                                 "HTTP Code 204 No Content",
                                 "HTTP Code 301 Moved Permanently",
                                 "HTTP Code 302 Moved Temporarily",
                                 "HTTP Code 304 Not Modified",
                                 "HTTP Code 400 Bad Request",
                                 "HTTP Code 401 Unauthorized",
                                 "HTTP Code 403 Forbidden",
                                 "HTTP Code 404 Not Found",
                                 "HTTP Code 500 Internal Server Error",
                                 "HTTP Code 501 Not Implemented",
                                 "HTTP Code 502 Bad Gateway",
                                 "HTTP Code 503 Service Unavailable"};
    const int codes[] = {200, 201, 202, 204, 301, 302, 304, 400, 401, 403, 404, 500, 501, 502, 503};
    for (int i = 0; i < 15; ++i) {
        const QByteArray path = "/c" + QByteArray::number(codes[i]);
        main.setReply(path,
                      LoopbackReply::Status("HTTP/1.1 " + QByteArray::number(codes[i]) + " X"));
        add("http://127.0.0.1" + path,
            QByteArray(codes[i] == 200 ? "*" : "*Reason for Failure: ") + texts[i]);
    }
    const QByteArray unknown = "*Reason for Failure: --------------> UNKNOWN REASON !!!!!";
    main.setReply("/c203", LoopbackReply::Status("HTTP/1.1 203 Non-Authoritative"));
    add("http://127.0.0.1/c203", unknown);
    main.setReply("/nocode", LoopbackReply::RawBytes("no status line here\r\n"));
    add("http://127.0.0.1/nocode", unknown);
    // A status line in two pieces is read whole; one cut short by the host's
    // close is read as far as it came; one whose rest never comes times out.
    main.setReply("/split",
                  LoopbackReply::Split("HTTP/1.0 404 Not Found", std::chrono::milliseconds(300)));
    add("http://127.0.0.1/split", "*Reason for Failure: HTTP Code 404 Not Found");
    main.setReply("/cut", LoopbackReply::RawBytes("HTTP/1.0 40"));
    add("http://127.0.0.1/cut", unknown);
    main.setReply("/stuck",
                  LoopbackReply::Split("HTTP/1.0 200 OK", std::chrono::milliseconds(5000)));
    add("http://127.0.0.1/stuck", "*Reason for Failure: Host Took Too Long to Respond");
    main.setReply("/p?q=1", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    add("http://127.0.0.1:8080/p?q=1#top", "*Reason for Failure: HTTP Code 404 Not Found");
    main.setReply("/huge", LoopbackReply::Of(LoopbackReply::Kind::HugeBody));
    add("http://127.0.0.1/huge", "*HTTP Code 200 OK");
    const QByteArray timedOut = "*Reason for Failure: Host Took Too Long to Respond";
    add("http://127.0.0.2/silent", timedOut);
    add("http://127.0.0.3/closer", timedOut);
    add("ftp://127.0.0.4/pub/", "");
    const QByteArray refused = "*Reason for Failure: Can't Connect to Host";
    add("ftp://127.0.0.5/", refused);
    add("HTTP://127.0.0.5/", refused);
    add("http://no-such-host.invalid/", "*Reason for Failure: Can't Find Named Host");
    add("http:///no-host", "*Reason for Failure: Request for Invalid Port or Name");
    add("http://1abc/", refused);
    html += "</body></html>\n";
    const QByteArray file = home.file("corpus.html");
    WriteFileBytes(file, html);

    Run(file, {QByteArray::number(port), QByteArray::number(port)}, 1);

    QByteArray expected =
        QByteArray("Start of test ") + kTestDate + "\r\n\r\n<Testing: " + file + "\r\n";
    int reported = 0;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        if (probes[i].result.isEmpty())
            continue;
        expected += '"' + probes[i].url + "\" >link " + QByteArray::number(i + 1) + "<\r\n" +
                    probes[i].result + "\r\n";
        ++reported;
    }
    expected += ">Results for " + file + ": URLs tested: " + QByteArray::number(probes.size()) +
                ". URL errors: " + QByteArray::number(reported) +
                ".\r\n\r\nEnd of test: " + kTestDate + "\r\n\r\n";
    EXPECT_EQ(report, expected);

    // One record for every link tested, in the page's order; the report is
    // made of them, and reads back into the reported ones.
    ASSERT_EQ(records.links.size(), qsizetype(probes.size()));
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const LinkRecord &link = records.links[qsizetype(i)];
        EXPECT_EQ(link.page, file);
        EXPECT_EQ(link.url, probes[i].url);
        EXPECT_EQ(link.text, "link " + QByteArray::number(i + 1));
        EXPECT_EQ(std::make_pair(link.line, link.column), std::make_pair(int(i) + 2, 10));
        EXPECT_EQ(link.reported, !probes[i].result.isEmpty()) << probes[i].url.constData();
        if (link.reported) {
            EXPECT_TRUE(probes[i].result.endsWith(CategoryText(link.category))) << i;
        } else {
            EXPECT_EQ(link.category, ResultCategory::FtpAnswered);
        }
        if (i < 15) {
            EXPECT_EQ(link.code, std::optional<int>(codes[i]));
        }
    }
    EXPECT_EQ(records.ReportText(), report);
    RunRecorder read;
    ReadReportText(report, read);
    EXPECT_EQ(read.ReportText(), report);
    ASSERT_EQ(read.links.size(), reported);
    for (const LinkRecord &link : read.links) {
        const auto same =
            std::find_if(records.links.begin(), records.links.end(), [&link](const LinkRecord &r) {
                return r.reported && r.url == link.url && r.text == link.text;
            });
        ASSERT_NE(same, records.links.end()) << link.url.constData();
        EXPECT_EQ(link.category, same->category) << link.url.constData();
        EXPECT_EQ(link.page, file);
    }
    EXPECT_EQ(timeOuts, 2) << "only the silent host and the unfinished line wait for the "
                              "time-out; the closing host is reported as it closes";

    for (const QByteArray &request : main.requests()) {
        EXPECT_TRUE(request.startsWith("GET /") &&
                    request.endsWith(" HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n") &&
                    request.count("\r\n") == 3)
            << request.constData();
    }
    EXPECT_TRUE(main.requests().contains("GET /p?q=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_EQ(ftp.requests(), QList<QByteArray>{QByteArray()}) << "nothing is sent to ftp hosts";
    EXPECT_EQ(ui.beeps.count(EngineUi::Beep::Exclamation), 3);
    EXPECT_EQ(ui.beeps.count(EngineUi::Beep::Default), 1);
}

TEST_F(EngineCorpusTest, SilentAndStalledHostsEndAtTheirTimeOut)
{
    LoopbackStalledHost stalled("127.0.0.6");
    if (!stalled.isReady())
        GTEST_SKIP() << "this kernel completes handshakes beyond the accept queue";
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.7",
                          stalled.port());
    ASSERT_TRUE(silent.isListening()) << silent.errorText().constData();
    const QByteArray file = home.file("slow.html");
    WriteFileBytes(file, "<a href=\"http://127.0.0.6/\">stalled</a><a href=\"http://127.0.0.7/\">"
                         "silent</a>.");
    Run(file, {stalled.portText(), stalled.portText()}, 2);
    EXPECT_EQ(timeOuts, 2) << "each probe, the stalled connect too, ends at its time-out";
    EXPECT_EQ(report.count("*Reason for Failure: Host Took Too Long to Respond\r\n"), 2);
}

} // namespace
