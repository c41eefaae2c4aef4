#include <random>

#include <gtest/gtest.h>

#include "repairtestsupport.h"

namespace {

struct GeneratedPage
{
    QByteArray path;
    QByteArray content;
    // The anchors' URLs in the order of the page, as a run reports them.
    QList<QByteArray> urls;
};

class PageGenerator
{
public:
    explicit PageGenerator(unsigned seed) : m_random(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QByteArray Url()
    {
        QByteArray url =
            "http://h" + QByteArray::number(Pick(4)) + ".example/p" + QByteArray::number(Pick(12));
        if (Pick(8) == 0)
            url += '/' + QByteArray(500 + Pick(200), 'L');
        return url;
    }

    // Lines of every ending (LF, CR LF, a lone CR, none at the end), many of
    // them just around the 511-byte pieces a line was once read in.
    GeneratedPage Page(const QByteArray &path)
    {
        GeneratedPage page{path, {}, {}};
        const int lines = 1 + Pick(30);
        for (int line = 0; line < lines; ++line) {
            QByteArray text;
            for (int piece = Pick(4); piece > 0; --piece) {
                switch (Pick(6)) {
                case 0:
                case 1: {
                    const QByteArray url = Url();
                    page.urls.append(url);
                    text += "<a href=\"" + url + "\">" + (Pick(3) == 0 ? url : "text") + "</a>";
                    break;
                }
                case 2:
                    text += QByteArray(Pick(600), 'x');
                    break;
                case 3:
                    text += QByteArray("bytes \0\xE9\xFF end", 14);
                    break;
                default:
                    text += " plain text ";
                    break;
                }
            }
            static const char *const endings[] = {"\n", "\r\n", "\r", ""};
            const QByteArray ending = line + 1 < lines ? endings[Pick(3)] : endings[Pick(4)];
            const int target = 509 + Pick(5) - static_cast<int>(ending.size());
            if (Pick(2) == 0 && text.size() < target)
                text += QByteArray(target - text.size(), 'y');
            page.content += text + ending;
        }
        return page;
    }

private:
    std::mt19937 m_random;
};

// What the repair must write: each reported URL is looked for from just after
// the place of the one before (the rest of that line first), a line with a
// link found is commented once or gets the file's name in place of each URL
// found in it, and a URL that is not found moves nothing.
QByteArray ExpectedRepair(const QByteArray &content, const QList<QByteArray> &urls, int type,
                          const QByteArray &fileName, QList<QByteArray> *notFound)
{
    struct Line
    {
        QByteArray text;
        QByteArray ending;
        QList<qsizetype> found;
        QList<QByteArray> foundUrls;
    };
    QList<Line> lines;
    for (const QByteArray &whole : SplitLines(content)) {
        const qsizetype end = whole.endsWith("\r\n")                         ? whole.size() - 2
                              : whole.endsWith('\n') || whole.endsWith('\r') ? whole.size() - 1
                                                                             : whole.size();
        lines.append({whole.left(end), whole.mid(end), {}, {}});
    }
    qsizetype line = 0;
    qsizetype column = 0;
    for (const QByteArray &url : urls) {
        qsizetype at = -1;
        qsizetype l = line;
        for (qsizetype from = column; l < lines.size(); ++l, from = 0) {
            if ((at = lines[l].text.indexOf(url, from)) >= 0)
                break;
        }
        if (at < 0) {
            notFound->append(url);
            continue;
        }
        lines[l].found.append(at);
        lines[l].foundUrls.append(url);
        line = l;
        column = at + url.size();
    }
    QByteArray repaired;
    for (const Line &l : lines) {
        QByteArray text = l.text;
        if (!l.found.isEmpty() && type == REPAIR_DISABLE_LINE)
            text = "<!--" + text + "-->";
        if (!l.found.isEmpty() && type == REPAIR_REPLACE_URL) {
            for (qsizetype i = l.found.size() - 1; i >= 0; --i)
                text.replace(l.found[i], l.foundUrls[i].size(), fileName);
            for (const QByteArray &url : l.foundUrls)
                text += "<!--" + url + "-->";
        }
        repaired += text + l.ending;
    }
    return repaired;
}

TEST(LinkRepairPropertyTest, EveryLineIsRepairedOnceWithItsOwnEndingAndNothingIsLost)
{
    TempHome home;
    PageGenerator generate(4242);
    for (int round = 0; round < 80; ++round) {
        const int type = round % 2;
        QList<GeneratedPage> pages;
        QList<QList<QByteArray>> reported;
        ReportBuilder report;
        for (int i = 0; i < 4; ++i) {
            const QByteArray path =
                home.file("r" + QByteArray::number(round) + "f" + QByteArray::number(i) + ".html");
            GeneratedPage page = generate.Page(path);
            WriteFileBytes(path, page.content);
            report.File(path);
            QList<QByteArray> urls;
            for (const QByteArray &url : page.urls) {
                if (generate.Pick(3) != 0)
                    urls.append(url);
                if (generate.Pick(12) == 0)
                    urls.append("http://not-in-the-file.example/" + QByteArray::number(round));
            }
            for (const QByteArray &url : urls)
                report.Link(url);
            report.Summary();
            pages.append(page);
            reported.append(urls);
        }

        RepairRun run;
        RunRepair(run, report.Text(), type);
        bool everyLinkFound = true;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const GeneratedPage &page = pages[i];
            const QByteArray name = page.path.mid(page.path.lastIndexOf('/') + 1);
            QList<QByteArray> notFound;
            const QByteArray expected =
                ExpectedRepair(page.content, reported[i], type, name, &notFound);
            ASSERT_EQ(ReadFileBytes(page.path).toStdString(), expected.toStdString())
                << page.path.constData() << " type " << type;
            const QByteArray stem = page.path.left(page.path.lastIndexOf('.'));
            ASSERT_EQ(ReadFileBytes(stem + ".bak"), page.content) << page.path.constData();
            for (const QByteArray &url : notFound) {
                ASSERT_EQ(run.ui.messages.size(), 1);
                EXPECT_TRUE(run.ui.messages[0].contains(NotFoundText(page.path, url)));
            }
            everyLinkFound = everyLinkFound && notFound.isEmpty();
        }
        EXPECT_EQ(run.completed, everyLinkFound) << "round " << round;
        EXPECT_EQ(run.ui.messages.size(), 1);

        // The same repair again changes nothing, and the originals stay.
        QList<QByteArray> repaired;
        for (const GeneratedPage &page : pages)
            repaired.append(ReadFileBytes(page.path));
        RepairRun again;
        RunRepair(again, report.Text(), type);
        EXPECT_EQ(again.completed, everyLinkFound);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const QByteArray stem = pages[i].path.left(pages[i].path.lastIndexOf('.'));
            ASSERT_EQ(ReadFileBytes(pages[i].path), repaired[i]) << pages[i].path.constData();
            ASSERT_EQ(ReadFileBytes(stem + ".bak"), pages[i].content);
        }
    }
}

} // namespace
