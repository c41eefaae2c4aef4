#include <random>

#include <gtest/gtest.h>

#include "repairtestsupport.h"

namespace {

// Undoes what a repair wrote: removes every comment it added and, for the
// replace type, puts the URL back in place of the file name before it. The
// generated pages hold neither comment markers nor their own file name, so
// whatever is left must be the original to the last byte.
QByteArray Unrepair(QByteArray repaired, int type, const QByteArray &fileName)
{
    for (qsizetype open = repaired.indexOf("<!--"); open >= 0;
         open = repaired.indexOf("<!--", open)) {
        const qsizetype close = repaired.indexOf("-->", open);
        if (close < 0)
            break;
        const QByteArray inside = repaired.mid(open + 4, close - open - 4);
        repaired.remove(open, close + 3 - open);
        if (type == REPAIR_REPLACE_URL) {
            const qsizetype name = repaired.lastIndexOf(fileName, open);
            if (name < 0)
                break;
            repaired.replace(name, fileName.size(), inside);
            open = name + inside.size();
        } else {
            repaired.insert(open, inside);
            open += inside.size();
        }
    }
    return repaired;
}

struct GeneratedPage
{
    QByteArray path;
    QByteArray content;
    QList<QByteArray> urls;
};

GeneratedPage Generate(std::mt19937 &random, const QByteArray &path)
{
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    GeneratedPage page{path, {}, {}};
    const int lines = pick(40);
    for (int line = 0; line < lines; ++line) {
        const int pieces = pick(4);
        for (int piece = 0; piece < pieces; ++piece) {
            switch (pick(6)) {
            case 0:
            case 1: {
                const QByteArray url = "http://h" + QByteArray::number(pick(5)) + ".example/p" +
                                       QByteArray::number(pick(30));
                page.urls.append(url);
                page.content +=
                    "<a href=\"" + url + "\">t\t" + QByteArray::number(pick(9)) + "</a>";
                break;
            }
            case 2:
                page.content += QByteArray(pick(700), 'x');
                break;
            case 3:
                page.content += QByteArray("bytes \0\xE9\xFF end", 14);
                break;
            default:
                page.content += " plain text ";
                break;
            }
        }
        if (line + 1 < lines || pick(2) == 0)
            page.content += pick(2) == 0 ? "\n" : "\r\n";
    }
    return page;
}

TEST(LinkRepairPropertyTest, NoByteOfAnyFileIsEverLost)
{
    TempHome home;
    std::mt19937 random(4242);
    for (int round = 0; round < 60; ++round) {
        const int type = round % 2;
        QList<GeneratedPage> pages;
        ReportBuilder report;
        for (int i = 0; i < 5; ++i) {
            const QByteArray path =
                home.file("r" + QByteArray::number(round) + "f" + QByteArray::number(i) + ".html");
            GeneratedPage page = Generate(random, path);
            WriteFileBytes(path, page.content);
            report.File(path);
            for (const QByteArray &url : page.urls) {
                if (random() % 3 != 0)
                    report.Link(url);
            }
            if (random() % 4 == 0)
                report.Link("http://not-in-the-file.example/");
            report.Summary();
            pages.append(page);
        }
        RepairRun run;
        RunRepair(run, report.Text(), type);
        ASSERT_TRUE(run.completed) << "round " << round;
        for (const GeneratedPage &page : pages) {
            const QByteArray stem = page.path.left(page.path.lastIndexOf('.'));
            ASSERT_EQ(ReadFileBytes(stem + ".bak"), page.content) << page.path.constData();
            const QByteArray repaired = ReadFileBytes(page.path);
            const QByteArray name = page.path.mid(page.path.lastIndexOf('/') + 1);
            ASSERT_EQ(Unrepair(repaired, type, name), page.content)
                << page.path.constData() << " type " << type;
        }
    }
}

} // namespace
