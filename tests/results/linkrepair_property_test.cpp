#include <algorithm>
#include <random>

#include <QFile>

#include <gtest/gtest.h>

#include "repairtestsupport.h"

namespace {

// One anchor of a generated page: where its element and its URL stand.
struct Anchor
{
    QByteArray url;
    qsizetype start = 0; // its "<a"
    qsizetype end = 0;   // just after its "</a>"
    qsizetype urlAt = 0; // where its URL stands
    bool split = false;  // its start tag runs over two lines
};

struct GeneratedPage
{
    QByteArray path;
    QByteArray content;
    QList<Anchor> anchors; // in the order of the page
};

// Pages of one line or many, lines with several links, anchors whose tag or
// text runs over two lines, stylesheets and anchors whose address begins
// with another link's, anchor texts that quote a URL, and every line ending.
class PageGenerator
{
public:
    explicit PageGenerator(unsigned seed) : m_random(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QByteArray Url()
    {
        QByteArray url =
            "http://h" + QByteArray::number(Pick(3)) + ".example/p" + QByteArray::number(Pick(6));
        if (Pick(10) == 0)
            url += '/' + QByteArray(500 + Pick(200), 'L');
        return url;
    }

    GeneratedPage Page(const QByteArray &path)
    {
        GeneratedPage page{path, {}, {}};
        const bool oneLine = Pick(4) == 0;
        const int lines = oneLine ? 1 : 1 + Pick(20);
        static const char *const endings[] = {"\n", "\r\n", "\r", ""};
        for (int line = 0; line < lines; ++line) {
            const QByteArray ending = line + 1 < lines ? endings[Pick(3)] : endings[Pick(4)];
            for (int piece = oneLine ? 4 + Pick(20) : Pick(4); piece > 0; --piece)
                AddPiece(page, ending);
            page.content += ending;
        }
        return page;
    }

private:
    void AddPiece(GeneratedPage &page, const QByteArray &ending)
    {
        QByteArray &text = page.content;
        switch (Pick(7)) {
        case 0:
        case 1:
        case 2: {
            Anchor anchor;
            anchor.url = Url();
            anchor.start = text.size();
            const bool splitTag = !ending.isEmpty() && Pick(6) == 0;
            anchor.split = splitTag;
            text += splitTag ? "<a class=\"x\"" + ending + "href=\"" : "<a href=\"";
            anchor.urlAt = text.size();
            text += anchor.url + "\">";
            const int kind = Pick(4);
            text += kind == 0                        ? anchor.url
                    : kind == 1 && !ending.isEmpty() ? "two" + ending + "lines"
                                                     : QByteArray("text");
            text += "</a>";
            anchor.end = text.size();
            page.anchors.append(anchor);
            break;
        }
        case 3: {
            // An address that begins with a link the report may name.
            const QByteArray longer = Url() + (Pick(2) == 0 ? "-style.css" : "/more");
            text += Pick(2) == 0 ? "<link rel=\"stylesheet\" href=\"" + longer + "\">"
                                 : "<a href=\"" + longer + "\">longer</a>";
            if (text.endsWith("longer</a>")) {
                Anchor anchor;
                anchor.url = longer;
                anchor.end = text.size();
                anchor.start = text.lastIndexOf("<a href=\"");
                anchor.urlAt = anchor.start + 9;
                page.anchors.append(anchor);
            }
            break;
        }
        case 4:
            text += QByteArray(Pick(600), 'x');
            break;
        case 5:
            text += QByteArray("bytes \0\xE9\xFF end", 14);
            break;
        default:
            text += " plain text ";
            break;
        }
    }

    std::mt19937 m_random;
};

// What the repair must write, worked out from where the generator put each
// anchor: each reported URL is the next anchor after the one found before
// whose address is exactly that URL; disabling comments out that anchor's
// element, replacing puts the file name in place of its URL and keeps the
// URL in a comment at the end of its line. Every other byte stays.
// A URL whose line ends inside the next anchor's split tag cannot be kept
// there: that link is left as it is.
QByteArray ExpectedRepair(const GeneratedPage &page, const QList<QByteArray> &urls, int type,
                          const QByteArray &fileName, QList<QByteArray> *notFound,
                          QList<QByteArray> *refused)
{
    struct Insertion
    {
        qsizetype at;
        qsizetype removed;
        QByteArray text;
    };
    QList<Insertion> changes;
    qsizetype next = 0;
    for (const QByteArray &url : urls) {
        qsizetype found = next;
        while (found < page.anchors.size() && page.anchors[found].url != url)
            ++found;
        if (found == page.anchors.size()) {
            notFound->append(url);
            continue;
        }
        const Anchor &anchor = page.anchors[found];
        if (type == REPAIR_DISABLE_LINE) {
            changes.append({anchor.start, 0, "<!--"});
            changes.append({anchor.end, 0, "-->"});
        } else {
            // The URL is kept at the end of the line its tag ends on.
            const qsizetype tagEnd = anchor.urlAt + url.size() + 2;
            qsizetype lineEnd = tagEnd;
            while (lineEnd < page.content.size() && page.content[lineEnd] != '\n' &&
                   page.content[lineEnd] != '\r')
                ++lineEnd;
            next = found + 1;
            if (std::any_of(page.anchors.begin(), page.anchors.end(), [&](const Anchor &other) {
                    return other.split && other.start >= tagEnd && other.start < lineEnd;
                })) {
                refused->append(url);
                continue;
            }
            changes.append({anchor.urlAt, url.size(), fileName});
            changes.append({lineEnd, 0, "<!--" + url + "-->"});
        }
        next = found + 1;
    }
    // Stable: at one place, what came first is written first.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Insertion &a, const Insertion &b) { return a.at < b.at; });
    QByteArray repaired = page.content;
    for (qsizetype i = changes.size() - 1; i >= 0; --i)
        repaired.replace(changes[i].at, changes[i].removed, changes[i].text);
    return repaired;
}

TEST(LinkRepairPropertyTest, OnlyTheReportedLinksChangeAndARepeatChangesNothing)
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
            for (const Anchor &anchor : page.anchors) {
                if (generate.Pick(3) != 0)
                    urls.append(anchor.url);
                if (generate.Pick(12) == 0)
                    urls.append("http://not-in-the-file.example/" + QByteArray::number(round));
                if (generate.Pick(12) == 0)
                    urls.append(anchor.url.chopped(1)); // only a part of a link
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
            QList<QByteArray> refused;
            const QByteArray expected =
                ExpectedRepair(page, reported[i], type, name, &notFound, &refused);
            ASSERT_EQ(ReadFileBytes(page.path).toStdString(), expected.toStdString())
                << page.path.constData() << " type " << type;
            const QByteArray backup = page.path.left(page.path.lastIndexOf('.')) + ".bak";
            if (expected == page.content)
                EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(backup)))
                    << "a page with nothing to change gets no backup";
            else
                ASSERT_EQ(ReadFileBytes(backup), page.content) << page.path.constData();
            for (const QByteArray &url : notFound) {
                ASSERT_EQ(run.ui.messages.size(), 1);
                EXPECT_TRUE(run.ui.messages[0].contains(NotFoundText(page.path, url)));
            }
            for (const QByteArray &url : refused) {
                ASSERT_EQ(run.ui.messages.size(), 1);
                EXPECT_TRUE(run.ui.messages[0].contains(
                    QStringLiteral("the URL\n%1\nbut could not put it in an HTML comment")
                        .arg(QString::fromLatin1(url))));
            }
            everyLinkFound = everyLinkFound && notFound.isEmpty() && refused.isEmpty();
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
            ASSERT_EQ(ReadFileBytes(pages[i].path), repaired[i]) << pages[i].path.constData();
            if (repaired[i] != pages[i].content) {
                const QByteArray stem = pages[i].path.left(pages[i].path.lastIndexOf('.'));
                ASSERT_EQ(ReadFileBytes(stem + ".bak"), pages[i].content);
            }
        }
    }
}

} // namespace
