#include "results/retestinput.h"

#include <gtest/gtest.h>

#include "discovery/linkextractor.h"
#include "discovery/workfiles.h"
#include "support/temphome.h"

namespace {

struct Retest
{
    QByteArray input;
    QList<QByteArray> urls;
    QList<QByteArray> anchors;
};

Retest MakeAndScan(const TempHome &home, const QByteArray &report)
{
    Retest retest;
    QString why;
    const CWorkFiles workFiles;
    const QByteArray path = MakeRetestInput(report, workFiles, &why);
    EXPECT_EQ(path, home.file("urltmp~1")) << why.toStdString();
    retest.input = ReadFileBytes(path);
    ExtractLinks(path, workFiles.WorkFilePath("2"), retest.urls, retest.anchors);
    return retest;
}

TEST(RetestInputTest, EveryReportedLinkBecomesAnAnchorOfItsOwn)
{
    TempHome home;
    const QByteArray report =
        "Start of test NOW\r\n\r\n"
        "<Testing: /w/a.html\r\n"
        "\"http://one/\" >One<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n"
        "\"ftp://two/\" >Two <b>bold</b><\r\n*Reason for Failure: Can't Connect to Host\r\n"
        "\"http://three/\" ><img src=\"x\"><\r\n*HTTP Code 200 OK\r\n"
        ">Results for /w/a.html: URLs tested: 5. URL errors: 3.\r\n\r\n"
        "A line with a \"quote\" inside\r\n"
        "Start of test LATER\r\n\r\n<Testing: /w/b.html\r\n"
        "\"http://one/\" >One again<\r\n*Reason for Failure: HTTP Code 500 "
        "Internal Server Error\r\nTesting Stopped by User\r\n";
    const Retest retest = MakeAndScan(home, report);
    EXPECT_EQ(retest.input.count("<A\""), 4);
    EXPECT_TRUE(retest.input.contains("\r\nA line with a \"quote\" inside\r\n"));
    EXPECT_EQ(retest.urls,
              (QList<QByteArray>{"http://one/", "ftp://two/", "http://three/", "http://one/"}));
    EXPECT_EQ(retest.anchors, (QList<QByteArray>{"One", "Two", kSuppliedAnchorName, "One again"}))
        << "an anchor text is cut at its first \"<\"";
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(home.file("urltmp~3"))));
}

TEST(RetestInputTest, LongReportLinesAreConvertedInPiecesOf511)
{
    TempHome home;
    const QByteArray longAnchor(600, 'a');
    const QByteArray report = "\"http://long/\" >" + longAnchor + "<\r\n*x\r\n";
    const Retest retest = MakeAndScan(home, report);
    EXPECT_EQ(retest.input, "<A" + report) << "only the piece that begins with the quote gets it";
}

TEST(RetestInputTest, ReportWithoutLinksGivesAnInputWithoutLinks)
{
    TempHome home;
    const Retest retest = MakeAndScan(home, "Start of test NOW\r\n\r\nTesting Stopped by User\r\n");
    EXPECT_TRUE(retest.urls.isEmpty());
}

TEST(RetestInputTest, WorkFileThatCannotBeMadeIsExplained)
{
    TempHome home;
    qputenv("VANTREL_HOME", home.file("not-a-directory"));
    WriteFileBytes(home.file("not-a-directory"), "x");
    QString why;
    EXPECT_TRUE(MakeRetestInput("\"http://x/\" >x<\r\n", CWorkFiles(), &why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
}

} // namespace
