#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "runcheck.h"
#include "support/formatreaders.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

// A machine-readable format takes the report's place on standard output, the
// report file and the exit status stay as they are, and a saved report
// converts to a format.
TEST(CheckFormatTest, FormatsReplaceTheReportOnStandardOutputOnly)
{
    TempHome home;
    LoopbackServer server;
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QByteArray page = home.file("p,1.html");
    WriteFileBytes(page, "<a href=\"http://127.0.0.1/missing\">gone \"a\", b</a>\n"
                         "<a href=\"http://127.0.0.1/ok\">fine</a>.");
    const QByteArray reportPath = home.file("report.txt");
    const CheckResult run = RunCheck(
        {"--http-port", server.portText(), "--format", "json", "--report", reportPath, page});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(run.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.constData();
    const QJsonObject tool = json[QLatin1String("tool")].toObject();
    EXPECT_EQ(tool[QLatin1String("name")].toString(), QStringLiteral("vantrel-check"));
    EXPECT_FALSE(tool[QLatin1String("version")].toString().isEmpty());
    const QJsonArray links = json[QLatin1String("links")].toArray();
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links[0].toObject()[QLatin1String("category")].toString(),
              QStringLiteral("HTTP Code 404 Not Found"));
    EXPECT_EQ(links[1].toObject()[QLatin1String("code")].toInt(), 200);
    EXPECT_FALSE(links[1].toObject()[QLatin1String("reported")].toBool());
    const QByteArray report = ReadFileBytes(reportPath);
    EXPECT_TRUE(report.startsWith("Start of test ")) << "--report still writes the report";
    EXPECT_TRUE(report.contains("\"http://127.0.0.1/missing\" >gone \"a\", b<\r\n"));

    const CheckResult clean = RunCheck({"--http-port", server.portText(), "--format", "markdown",
                                        "--filter", "000000000000000000000", page});
    EXPECT_EQ(clean.exitCode, 0) << clean.err.constData();
    EXPECT_TRUE(clean.out.contains("No link was reported.")) << clean.out.constData();

    const QByteArray csvPath = home.file("out.csv");
    const CheckResult exported = RunCheck({"--export", "csv", "--output", csvPath, reportPath});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.constData();
    QString csvError;
    const QList<QStringList> csv = ReadCsv(ReadFileBytes(csvPath), &csvError);
    ASSERT_TRUE(csvError.isEmpty()) << csvError.toStdString();
    // The report names no places: they are found in the page, which is there.
    const QString pageText = QString::fromLocal8Bit(page);
    const QList<QStringList> expected = {
        QStringLiteral("page,line,column,url,target,text,category,code,reported")
            .split(QLatin1Char(',')),
        {pageText, QStringLiteral("1"), QStringLiteral("10"),
         QStringLiteral("http://127.0.0.1/missing"), QStringLiteral("http://127.0.0.1/missing"),
         QStringLiteral("gone \"a\", b"), QStringLiteral("HTTP Code 404 Not Found"),
         QStringLiteral("404"), QStringLiteral("true")},
    };
    EXPECT_EQ(csv, expected);
    EXPECT_EQ(RunCheck({"--export", "csv", "--output", csvPath, reportPath}).exitCode, 2)
        << "an existing file is replaced only with --force";

    for (const QList<QByteArray> &wrong : QList<QList<QByteArray>>{
             {"--format", "xml", page}, {"--list-links", "--format", "json", page}}) {
        const CheckResult refused = RunCheck(wrong);
        EXPECT_EQ(refused.exitCode, 2) << wrong.join(' ').constData();
        EXPECT_TRUE(refused.out.isEmpty());
    }
}

} // namespace
