#include <cstdio>
#include <map>
#include <set>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include "engine/qttimerservice.h"
#include "enginetestsupport.h"
#include "formats/resultformat.h"
#include "records/reporttextreader.h"
#include "settings/settingsstartup.h"
#include "support/formatreaders.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"
#include "support/loopbacktlsserver.h"
#include "support/pythonmodule.h"
#include "support/runrecorder.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"

namespace {

using Kind = TestCertificates::Kind;
using Mode = LoopbackTlsServer::Mode;

const ToolInfo kTool{QStringLiteral("vantrel-check"), QStringLiteral("9.8")};

// Bytes as a reader of the formats must see them: UTF-8 where valid, else
// Latin-1.
QString Text(const QByteArray &bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// XML cannot hold a control character such as U+0001 at all: it is shown.
QString InXml(const QByteArray &bytes)
{
    return Text(bytes).replace(QChar(1), QStringLiteral("\\x01"));
}

// One link as a format tells it, for comparing link by link.
struct Row
{
    QString page;
    QString url;
    QString text;
    QString category;
    bool reported = false;

    bool operator==(const Row &) const = default;
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.page.toStdString() << " | " << row.url.toStdString() << " | "
         << row.text.toStdString() << " | " << row.category.toStdString()
         << (row.reported ? " | reported" : "");
}

Row RowOf(const LinkRecord &link)
{
    return {Text(link.page), Text(link.url), Text(link.text), Text(CategoryText(link.category)),
            link.reported};
}

QList<Row> Reported(const QList<Row> &rows)
{
    QList<Row> reported;
    for (const Row &row : rows) {
        if (row.reported)
            reported.append(row);
    }
    return reported;
}

// A run of today's web over a site of three pages whose links end in every way
// a loopback host can answer (every category but the two that only a failing
// system gives: an unspecified socket error and no socket), with every output
// format listening to the run beside the report.
class FormatsAgreementTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates.isValid()) << certificates.errorText().constData();
        for (const LoopbackServer *server : {&web, &silent, &ftp})
            ASSERT_TRUE(server->isListening()) << server->errorText().constData();
        for (const LoopbackTlsServer *server :
             {&tlsValid, &tlsExpired, &tlsOtherHost, &tlsSelfSigned, &tlsPlain})
            ASSERT_TRUE(server->isListening()) << server->errorText().constData();
        const QByteArray site = home.file("site");
        ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(site)));

        QByteArray replies;
        const int codes[] = {200, 201, 202, 204, 301, 302, 304, 400,
                             401, 403, 404, 500, 501, 502, 503, 203};
        for (const int code : codes) {
            const QByteArray path = "/c" + QByteArray::number(code);
            web.setReply(path,
                         LoopbackReply::Status("HTTP/1.0 " + QByteArray::number(code) + " X"));
            replies += Anchor("http://127.0.0.1" + path, "code " + QByteArray::number(code));
        }
        web.setReply("/nocode", LoopbackReply::RawBytes("no status line here\r\n"));
        replies += Anchor("http://127.0.0.1/nocode", "no code");
        WriteFileBytes(site + "/a.html", replies);

        // A page name and anchor texts with bytes every format must carry:
        // Latin-1, markup and separators of each format, a control byte.
        tricky = site + "/b\xE9 |<&\",`\x01.html";
        WriteRawName(
            tricky,
            Anchor("http://127.0.0.2/silent", "Tom & \"Jerry\", | <b>x</b> \x01 caf\xE9 `q`") +
                Anchor("ftp://127.0.0.4/pub/", "ftp") + Anchor("ftp://127.0.0.5/", "refused") +
                Anchor("http://no-such-host.invalid/", "caf\xC3\xA9 \xE2\x80\x94 nobody") +
                Anchor("http:///no-host", "no host"));

        const auto tls = [](const LoopbackTlsServer &server, const QByteArray &path) {
            return "https://127.0.0.1:" + QByteArray::number(server.port()) + path;
        };
        WriteFileBytes(site + "/c.html", Anchor(tls(tlsValid, "/ok"), "valid") +
                                             Anchor(tls(tlsExpired, "/"), "expired") +
                                             Anchor(tls(tlsOtherHost, "/"), "other host") +
                                             Anchor(tls(tlsSelfSigned, "/"), "self-signed") +
                                             Anchor(tls(tlsPlain, "/"), "plain"));

        // Report all but 200 and 301, so that the formats tell reported links
        // from the others.
        settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", "0111011111111111111111111");
        settings->WriteInt("Settings", "Timeout", 1);
        EngineOptions options;
        options.ports = ProbePorts(web.portText(), web.portText(), "1");
        options.resolver.nameServer = nameServer.serverText();
        options.pollMs = 0;
        options.dateTime = [] {
            return QByteArray(kTestDate);
        };
        QtTimerService timers([this](int id) { engine->OnTimer(id); });
        engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
        engine->SetTodaysWeb(true);
        engine->SetJobs(8, 8);
        engine->AddRunListener(&records);
        for (const ResultFormat format :
             {ResultFormat::Json, ResultFormat::Csv, ResultFormat::JUnit, ResultFormat::Markdown}) {
            QByteArray &text = written[format];
            formatters.push_back(MakeResultsFormatter(
                format, kTool, [&text](const QByteArray &piece) { text += piece; }));
            engine->AddRunListener(formatters.back().get());
        }
        engine->StartTest(site + "/a.html", false, true);
        ASSERT_TRUE(SpinUntil([this] { return !engine->IsRunning(); }, std::chrono::seconds(60)));
        report = engine->ReportText();
        engine.reset();
        for (const auto &formatter : formatters)
            formatter->Finish();

        ReadReportText(report, fromReport);
        for (const LinkRecord &link : records.links)
            allLinks.append(RowOf(link));
        for (const LinkRecord &link : fromReport.links)
            reportedLinks.append(RowOf(link));
    }

    // The temporary directory cannot remove a name that is no UTF-8.
    void TearDown() override
    {
        if (!tricky.isEmpty())
            std::remove(tricky.constData());
    }

    // Writes a file under a name that is no UTF-8, byte for byte.
    static void WriteRawName(const QByteArray &path, const QByteArray &bytes)
    {
        std::FILE *file = std::fopen(path.constData(), "wb");
        ASSERT_NE(file, nullptr) << path.constData();
        EXPECT_EQ(std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file),
                  std::size_t(bytes.size()));
        EXPECT_EQ(std::fclose(file), 0);
    }

    static QByteArray Anchor(const QByteArray &url, const QByteArray &text)
    {
        return "<p><a href=\"" + url + "\">" + text + "</a>\n";
    }

    TempHome home;
    TestCertificates certificates;
    ScopedEnvironment certFile{"SSL_CERT_FILE", certificates.authorityFile()};
    ScopedEnvironment certDir{"SSL_CERT_DIR", certificates.emptyDirectory()};
    LoopbackNameServer nameServer{LoopbackNameServer::Mode::NxDomain};
    LoopbackServer web;
    LoopbackServer silent{LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2", web.port()};
    LoopbackServer ftp{LoopbackReply::Ftp(), "127.0.0.4", web.port()};
    LoopbackTlsServer tlsValid{certificates.identity(Kind::Valid)};
    LoopbackTlsServer tlsExpired{certificates.identity(Kind::Expired)};
    LoopbackTlsServer tlsOtherHost{certificates.identity(Kind::OtherHost)};
    LoopbackTlsServer tlsSelfSigned{certificates.identity(Kind::SelfSigned)};
    LoopbackTlsServer tlsPlain{certificates.identity(Kind::Valid), Mode::NotTls};
    std::unique_ptr<CRegSettings> settings;
    RecordingUi ui;
    std::unique_ptr<CTestEngine> engine;
    RunRecorder records;
    std::vector<std::unique_ptr<ResultsFormatter>> formatters;
    std::map<ResultFormat, QByteArray> written;

    QByteArray tricky;
    QByteArray report;
    // The text report read back: its reported links and its page summaries.
    RunRecorder fromReport;
    QList<Row> allLinks;
    QList<Row> reportedLinks;
};

TEST_F(FormatsAgreementTest, EveryFormatAgreesWithTheReportLinkForLink)
{
    // The corpus is what it claims: every category a loopback run can give,
    // on three pages, with the tricky bytes in a page name and an anchor text.
    std::set<ResultCategory> seen;
    for (const LinkRecord &link : records.links)
        seen.insert(link.category);
    EXPECT_EQ(seen.size(), std::size_t(25)) << report.constData();
    EXPECT_EQ(seen.count(ResultCategory::Unspecified) + seen.count(ResultCategory::NoSocket), 0u);
    ASSERT_EQ(fromReport.pages.size(), 3);
    ASSERT_EQ(Reported(allLinks), reportedLinks) << "the run's records and its report agree";
    ASSERT_TRUE(std::any_of(reportedLinks.begin(), reportedLinks.end(), [this](const Row &row) {
        return row.page == Text(tricky) && row.text.contains(QChar(1)) &&
               row.text.contains(QStringLiteral("caf\u00e9"));
    })) << report.constData();

    // JSON: every tested link with its fields, the pages and the totals.
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(written[ResultFormat::Json], &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(json[QLatin1String("version")].toInt(), 1);
    EXPECT_EQ(json[QLatin1String("tool")].toObject()[QLatin1String("version")].toString(),
              kTool.version);
    EXPECT_EQ(json[QLatin1String("mode")].toString(), QStringLiteral("todays-web"));
    EXPECT_FALSE(json[QLatin1String("stopped")].toBool());
    const QJsonArray jsonLinks = json[QLatin1String("links")].toArray();
    QList<Row> jsonRows;
    for (qsizetype i = 0; i < jsonLinks.size(); ++i) {
        const QJsonObject link = jsonLinks[i].toObject();
        jsonRows.append(
            {link[QLatin1String("page")].toString(), link[QLatin1String("url")].toString(),
             link[QLatin1String("text")].toString(), link[QLatin1String("category")].toString(),
             link[QLatin1String("reported")].toBool()});
        if (i >= records.links.size())
            continue;
        const LinkRecord &record = records.links[i];
        EXPECT_EQ(link[QLatin1String("code")].isNull(), !record.code) << i;
        EXPECT_EQ(link[QLatin1String("code")].toInt(), record.code.value_or(0)) << i;
        EXPECT_EQ(link[QLatin1String("ok")].toBool(), IsOk(record.category)) << i;
        EXPECT_EQ(link[QLatin1String("target")].isNull(), record.target.isEmpty()) << i;
        EXPECT_EQ(link[QLatin1String("target")].toString(), Text(record.target)) << i;
    }
    EXPECT_EQ(jsonRows, allLinks);
    EXPECT_EQ(Reported(jsonRows), reportedLinks);
    const QJsonArray jsonPages = json[QLatin1String("pages")].toArray();
    ASSERT_EQ(jsonPages.size(), fromReport.pages.size());
    int tested = 0;
    for (qsizetype i = 0; i < jsonPages.size(); ++i) {
        const QJsonObject page = jsonPages[i].toObject();
        const PageEnd &summary = fromReport.pages[i];
        EXPECT_EQ(page[QLatin1String("path")].toString(), Text(summary.path));
        EXPECT_EQ(page[QLatin1String("tested")].toInt(), summary.tested);
        EXPECT_EQ(page[QLatin1String("errors")].toInt(), summary.errors);
        EXPECT_TRUE(page[QLatin1String("scanError")].isNull());
        tested += summary.tested;
    }
    const QJsonObject totals = json[QLatin1String("totals")].toObject();
    EXPECT_EQ(totals[QLatin1String("tested")].toInt(), tested);
    EXPECT_EQ(tested, allLinks.size());
    EXPECT_EQ(totals[QLatin1String("reported")].toInt(), reportedLinks.size());
    std::map<QString, int> byCategory;
    for (const Row &row : allLinks)
        ++byCategory[row.category];
    const QJsonObject jsonByCategory = totals[QLatin1String("byCategory")].toObject();
    EXPECT_EQ(jsonByCategory.size(), qsizetype(byCategory.size()));
    for (const auto &[category, count] : byCategory)
        EXPECT_EQ(jsonByCategory[category].toInt(), count) << category.toStdString();

    // CSV: the header, then one record per tested link.
    QString csvError;
    const QList<QStringList> csv = ReadCsv(written[ResultFormat::Csv], &csvError);
    ASSERT_TRUE(csvError.isEmpty()) << csvError.toStdString();
    ASSERT_FALSE(csv.isEmpty());
    EXPECT_EQ(csv.first().join(QLatin1Char(',')),
              QStringLiteral("page,line,column,url,target,text,category,code,reported"));
    QList<Row> csvRows;
    for (qsizetype i = 1; i < csv.size(); ++i) {
        ASSERT_EQ(csv[i].size(), 9) << i;
        csvRows.append(
            {csv[i][0], csv[i][3], csv[i][5], csv[i][6], csv[i][8] == QLatin1String("true")});
        const LinkRecord &record = records.links[i - 1];
        EXPECT_EQ(csv[i][7], record.code ? QString::number(*record.code) : QString()) << i;
    }
    EXPECT_EQ(csvRows, allLinks);

    // JUnit: a suite per page with the summary's counts, a case per tested
    // link, a failure naming the category for each reported one.
    QString xmlError;
    const QList<JUnitSuite> suites = ReadJUnit(written[ResultFormat::JUnit], &xmlError);
    ASSERT_TRUE(xmlError.isEmpty()) << xmlError.toStdString();
    ASSERT_EQ(suites.size(), fromReport.pages.size());
    QList<Row> junitRows;
    QList<Row> expectedInXml;
    for (qsizetype i = 0; i < suites.size(); ++i) {
        EXPECT_EQ(suites[i].name, InXml(fromReport.pages[i].path));
        EXPECT_EQ(suites[i].tests, fromReport.pages[i].tested);
        EXPECT_EQ(suites[i].failures, fromReport.pages[i].errors);
        EXPECT_EQ(suites[i].cases.size(), suites[i].tests);
        for (const JUnitCase &testCase : suites[i].cases) {
            EXPECT_EQ(testCase.classname, suites[i].name);
            junitRows.append({testCase.classname,
                              testCase.name,
                              {},
                              testCase.failure.value_or(QString()),
                              testCase.failure.has_value()});
        }
    }
    for (const LinkRecord &link : records.links)
        expectedInXml.append({InXml(link.page),
                              InXml(link.url),
                              {},
                              link.reported ? Text(CategoryText(link.category)) : QString(),
                              link.reported});
    EXPECT_EQ(junitRows, expectedInXml);

    // Markdown: the counts by category, and a row for each reported link.
    const QByteArray &markdown = written[ResultFormat::Markdown];
    std::map<QString, int> markdownCounts;
    for (const QStringList &row : MarkdownTableRows(markdown, "| Result | Links |"))
        markdownCounts[row.value(0)] = row.value(1).toInt();
    EXPECT_EQ(markdownCounts, byCategory);
    QList<Row> markdownRows;
    for (const QStringList &row : MarkdownTableRows(markdown, "| Page | Link | Result |"))
        markdownRows.append({row.value(0), row.value(1), {}, row.value(2), true});
    // Each reported link is named by its page and its line there.
    QList<Row> expectedInMarkdown;
    for (const LinkRecord &link : records.links) {
        if (!link.reported)
            continue;
        const QString page = Text(link.page).replace(QChar(1), QStringLiteral("\\x01"));
        expectedInMarkdown.append(
            {link.line > 0 ? page + QLatin1Char(':') + QString::number(link.line) : page,
             Text(link.url),
             {},
             Text(CategoryText(link.category)),
             true});
    }
    EXPECT_EQ(markdownRows, expectedInMarkdown);
    EXPECT_FALSE(markdown.contains('\x01'));
}

TEST_F(FormatsAgreementTest, JsonValidatesAgainstTheSchemaInDocs)
{
    const QString python = PythonWithModule(QStringLiteral("jsonschema"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3-jsonschema is not installed (scripts/dev installs it)";
    // The run's document; the report converted, as an export does; and a
    // document with a link of every category, the two a loopback run cannot
    // give too.
    RunRecorder everyCategory;
    everyCategory.RunStarted({QDateTime::currentDateTimeUtc(), "now", false});
    everyCategory.PageStarted({"p", std::nullopt});
    for (int i = 0; i <= static_cast<int>(ResultCategory::FtpAnswered); ++i) {
        LinkRecord link;
        link.page = "p";
        link.url = "http://h/" + QByteArray::number(i);
        link.category = static_cast<ResultCategory>(i);
        link.redirects = {{"http://h/next", 301}};
        everyCategory.LinkTested(link);
    }
    everyCategory.PageEnded({"p", 0, 0, std::nullopt});
    everyCategory.PageStarted({"q", QStringLiteral("it is not a regular file")});
    everyCategory.PageEnded({"q", 0, 0, QStringLiteral("it is not a regular file")});
    everyCategory.RunEnded({QDateTime::currentDateTimeUtc(), "then", true});
    QByteArray everyCategoryJson;
    const std::unique_ptr<ResultsFormatter> json = MakeResultsFormatter(
        ResultFormat::Json, kTool,
        [&everyCategoryJson](const QByteArray &piece) { everyCategoryJson += piece; });
    everyCategory.Replay(*json);
    json->Finish();

    const QByteArray documents[] = {written[ResultFormat::Json],
                                    FormatReportText(ResultFormat::Json, report, kTool),
                                    everyCategoryJson};
    QStringList arguments{QStringLiteral(SCHEMA_CHECK_PATH), QStringLiteral(RESULTS_SCHEMA_PATH)};
    for (const QByteArray &document : documents) {
        const QByteArray path = home.file("doc" + QByteArray::number(arguments.size()) + ".json");
        WriteFileBytes(path, document);
        arguments.append(QString::fromLocal8Bit(path));
    }
    QProcess check;
    check.start(python, arguments);
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().constData();
}

} // namespace
