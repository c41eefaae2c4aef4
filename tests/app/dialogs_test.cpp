#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/help/helpwindow.h"
#include "desktoptestsupport.h"
#include "discovery/ui/progressdlg.h"
#include "discovery/ui/selectfilesdlg.h"
#include "engine/progressmodel.h"
#include "engine/ui/vantrelview.h"
#include "results/openreport.h"
#include "results/ui/exportdlg.h"

namespace {

QCheckBox *Box(QWidget *dialog, const char *text)
{
    for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
        if (box->text() == QLatin1String(text))
            return box;
    }
    return nullptr;
}

QRadioButton *Radio(QWidget *dialog, const char *text)
{
    for (QRadioButton *radio : dialog->findChildren<QRadioButton *>()) {
        if (radio->text() == QLatin1String(text))
            return radio;
    }
    return nullptr;
}

TEST(SelectFilesDialogTest, RemembersTheChoiceCouplesTheBoxesAndBrowsesFromTheLastFile)
{
    DesktopHarness desk;
    const QByteArray page = desk.Html("site/index.html", "no links.");
    desk.settings->WriteString("FileSel", "Starter", page);
    desk.settings->WriteInt("FileSel", "Recurse", 0);
    desk.settings->WriteInt("FileSel", "AllFiles", 1);

    QString browseStart;
    WhenModal([&](QWidget *modal) {
        auto *dialog = dynamic_cast<CSelectFilesDlg *>(modal);
        ASSERT_NE(dialog, nullptr);
        auto *edit = dialog->findChild<QLineEdit *>();
        EXPECT_EQ(edit->text(), QString::fromLocal8Bit(page));
        QCheckBox *allFiles = Box(dialog, "Test all files in this directory");
        QCheckBox *recurse = Box(dialog, "Test in this directory and all sub-directories");
        EXPECT_TRUE(allFiles->isChecked());
        EXPECT_FALSE(recurse->isChecked());

        allFiles->click();
        recurse->click();
        EXPECT_TRUE(allFiles->isChecked()) << "ticking sub-directories ticks all files";
        recurse->click();
        EXPECT_TRUE(allFiles->isChecked()) << "unticking it leaves all files alone";
        allFiles->click();
        recurse->click();

        // Browse starts in the remembered file's directory, not the typed one's,
        // and a cancelled file dialog leaves the field alone.
        edit->setText(QStringLiteral("/elsewhere/typed.html"));
        dialog->m_chooseFile = [&browseStart](QWidget *, const QString &start) {
            browseStart = start;
            return QString();
        };
        Press(dialog, QStringLiteral("Browse..."));
        EXPECT_EQ(edit->text(), QStringLiteral("/elsewhere/typed.html"));
        edit->setText(QString::fromLocal8Bit(page));
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().selectFiles);
    EXPECT_EQ(browseStart, QString::fromLocal8Bit(desk.home.file("site")));
    // The directory is listed first, then tested.
    ASSERT_TRUE(WaitUntil([&] {
        return !desk.frame->View()->IsListing() && !desk.frame->View()->Engine().IsRunning();
    }));
    EXPECT_EQ(desk.StoredInt("FileSel", "Recurse"), 1);
    EXPECT_EQ(desk.StoredInt("FileSel", "AllFiles"), 1);
    EXPECT_TRUE(desk.frame->View()->Engine().ReportText().contains(
        ">Results for " + page + ": URLs tested: 0. URL errors: 0."));
}

// A path that cannot be tested is refused while the dialog stays open with
// the path as typed; a folder is taken, and its HTML files are tested.
TEST(SelectFilesDialogTest, AMissingFileIsRefusedKeepingThePathAndAFolderIsTested)
{
    DesktopHarness desk;
    const QByteArray missing = desk.home.file("missing.html");
    QString message;
    QString keptPath;
    WhenModal([&](QWidget *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>();
        edit->setText(QString::fromLocal8Bit(missing));
        WhenModal([&, edit, dialog](QWidget *box) {
            message = ModalText(box);
            Press(box, QStringLiteral("OK"));
            QTimer::singleShot(0, dialog, [&, edit, dialog] {
                keptPath = dialog->isVisible() ? edit->text() : QString();
                Press(dialog, QStringLiteral("Cancel"));
            });
        });
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().selectFiles);
    EXPECT_EQ(message, QStringLiteral("The chosen file does not exist"));
    EXPECT_EQ(keptPath, QString::fromLocal8Bit(missing));
    EXPECT_FALSE(desk.frame->View()->Engine().IsRunning());
    EXPECT_EQ(desk.StoredString("FileSel", "Starter"), QByteArray("<none>"));
    EXPECT_FALSE(desk.frame->View()->Engine().HasText());

    const QByteArray page = desk.Html("site/index.html", "<p>No links.</p>\n");
    const QByteArray folder = desk.home.file("site");
    WhenModal([&](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(folder));
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] {
        return !desk.frame->View()->IsListing() && !desk.frame->View()->Engine().IsRunning();
    }));
    EXPECT_TRUE(desk.frame->View()->Engine().ReportText().contains("<Testing: " + page));
    EXPECT_EQ(desk.StoredString("FileSel", "Starter"), folder);
}

TEST(ExportDialogTest, TheFormatSwitchesTheExtensionAndTheChoiceIsRemembered)
{
    const struct
    {
        const char *path;
        int format;
        const char *expected;
    } cases[] = {
        {"results.txt", 1, "results.html"},
        {"results.html", 0, "results.txt"},
        {"results.html", 2, "results.json"},
        {"results.json", 3, "results.csv"},
        {"r.csv", 0, "r.txt"},
        {"a.JSON", 3, "a.JSON"},
        {".txt", 1, ".txt"},
        {"a.TXT", 1, "a.TXT"},
        {"report", 1, "report"},
        {"a.txt", 0, "a.txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SwitchExportExtension(QString::fromLatin1(c.path), c.format),
                  QString::fromLatin1(c.expected))
            << c.path;

    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    view->Engine().AppendText("<Testing: /x/a.html\r\n\"http://h/\" >A<\r\n*Reason for Failure: "
                              "Can't Find Named Host\r\n>Results for /x/a.html: URLs tested: 1. "
                              "URL errors: 1.\r\n\r\n");
    const QByteArray target = desk.home.file("results.txt");
    int browsedFormat = -1;
    WhenModal([&](QWidget *modal) {
        auto *dialog = dynamic_cast<CExportDlg *>(modal);
        ASSERT_NE(dialog, nullptr);
        auto *edit = dialog->findChild<QLineEdit *>();
        EXPECT_EQ(edit->text(), QStringLiteral("results.txt"));
        EXPECT_TRUE(Radio(dialog, "Export as Text file")->isChecked());
        edit->setText(QString::fromLocal8Bit(target));
        Radio(dialog, "Export as HTML file")->click();
        EXPECT_EQ(edit->text(), QString::fromLocal8Bit(desk.home.file("results.html")));
        dialog->m_chooseFile = [&browsedFormat](QWidget *, const QString &, int format) {
            browsedFormat = format;
            return QString();
        };
        Press(dialog, QStringLiteral("Browse..."));
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().exportResults);
    EXPECT_EQ(browsedFormat, 1);
    EXPECT_EQ(desk.StoredString("XportSel", "Starter"), desk.home.file("results.html"));
    EXPECT_EQ(desk.StoredInt("XportSel", "Text"), 1);
    const QByteArray html = ReadFileBytes(desk.home.file("results.html"));
    EXPECT_TRUE(html.contains("<li><a href=\"http://h/\">A</a> Reason for Failure: Can't Find "
                              "Named Host"));

    // Replacing the file asks first; No leaves file and settings alone.
    WriteFileBytes(target, "keep me");
    QString question;
    WhenModal([&](QWidget *dialog) {
        Radio(dialog, "Export as Text file")->click();
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(target));
        WhenModal([&](QWidget *box) {
            question = ModalText(box);
            Press(box, QStringLiteral("No"));
        });
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().exportResults);
    EXPECT_EQ(question, QString::fromLocal8Bit(target) +
                            QStringLiteral("\nThis file already exists\n\nReplace existing file?"));
    EXPECT_EQ(ReadFileBytes(target), QByteArray("keep me"));
    EXPECT_EQ(desk.StoredInt("XportSel", "Text"), 1);
}

TEST(ExportDialogTest, ExportAsJsonWritesTheWindowsLinksAndIsRemembered)
{
    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    view->Engine().AppendText("Start of test NOW\r\n\r\n<Testing: /x/caf\xE9.html\r\n"
                              "\"http://h/a?b=1&c\" >Tom & \"Jerry\"<\r\n*Reason for Failure: "
                              "HTTP Code 404 Not Found\r\n>Results for /x/caf\xE9.html: URLs "
                              "tested: 7. URL errors: 1.\r\n\r\nEnd of test: NOW\r\n\r\n");
    WhenModal([&](QWidget *dialog) {
        EXPECT_NE(Radio(dialog, "Export as CSV file"), nullptr);
        dialog->findChild<QLineEdit *>()->setText(
            QString::fromLocal8Bit(desk.home.file("results.txt")));
        Radio(dialog, "Export as JSON file")->click();
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().exportResults);
    EXPECT_EQ(desk.StoredInt("XportSel", "Text"), 2);
    QJsonParseError error;
    const QJsonObject json =
        QJsonDocument::fromJson(ReadFileBytes(desk.home.file("results.json")), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const QJsonArray links = json[QLatin1String("links")].toArray();
    ASSERT_EQ(links.size(), 1);
    const QJsonObject link = links[0].toObject();
    EXPECT_EQ(link[QLatin1String("page")].toString(), QStringLiteral("/x/caf\u00e9.html"));
    EXPECT_EQ(link[QLatin1String("url")].toString(), QStringLiteral("http://h/a?b=1&c"));
    EXPECT_EQ(link[QLatin1String("text")].toString(), QStringLiteral("Tom & \"Jerry\""));
    EXPECT_EQ(link[QLatin1String("category")].toString(),
              QStringLiteral("HTTP Code 404 Not Found"));
    EXPECT_EQ(json[QLatin1String("totals")].toObject()[QLatin1String("tested")].toInt(), 7);

    // The next export starts from the JSON choice.
    WhenModal([&](QWidget *dialog) {
        EXPECT_TRUE(Radio(dialog, "Export as JSON file")->isChecked());
        EXPECT_EQ(dialog->findChild<QLineEdit *>()->text(),
                  QString::fromLocal8Bit(desk.home.file("results.json")));
        Press(dialog, QStringLiteral("Cancel"));
    });
    Give(desk.frame->Actions().exportResults);
}

TEST(ProgressDialogTest, ShowsCountsBeyondSixteenBitsAndCannotBeClosedByTheUser)
{
    QWidget owner;
    CProgressDlg dialog(&owner);
    ProgressModel model;
    model.m_strFileIndex = "70000";
    model.m_strFileCount = "70001";
    model.m_strUrlIndex = "65537";
    model.m_strUrlCount = "100000";
    model.m_ctlFileProgress.SetRange(0, 70001);
    model.m_ctlFileProgress.SetPos(69999);
    model.m_ctlUrlProgress.SetRange(0, 100000);
    model.m_ctlUrlProgress.SetPos(65536);
    dialog.Create();
    dialog.UpdateData(model);
    EXPECT_EQ(dialog.m_strFileIndex->text(), QStringLiteral("70000"));
    EXPECT_EQ(dialog.m_strUrlCount->text(), QStringLiteral("100000"));
    EXPECT_EQ(dialog.m_ctlFileProgress->maximum(), 70001);
    EXPECT_EQ(dialog.m_ctlFileProgress->value(), 69999);
    EXPECT_EQ(dialog.m_ctlUrlProgress->value(), 65536);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    dialog.close();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
}

// Preview... shows what the chosen repair would change and changes nothing.
TEST(RepairDialogTest, PreviewShowsTheDiffAndChangesNothing)
{
    DesktopHarness desk;
    const QByteArray original = "<p>a <a href=\"http://127.0.0.1/gone\">Gone</a> b</p>\n";
    const QByteArray page = desk.Html("index.html", original);
    ASSERT_TRUE(OpenReport(desk.frame->View()->Engine(),
                           "<Testing: " + page +
                               "\r\n\"http://127.0.0.1/gone\" >Gone<\r\n*Reason for Failure: "
                               "HTTP Code 404 Not Found\r\n>Results for " +
                               page + ": URLs tested: 1. URL errors: 1.\r\n\r\n"));
    QString shown;
    WhenModal([&](QWidget *dialog) {
        Radio(dialog, "Replace the URL text with the name of the file")->click();
        WhenModal([&](QWidget *preview) {
            EXPECT_EQ(preview->windowTitle(), QStringLiteral("Repair Preview"));
            for (const QPlainTextEdit *box : preview->findChildren<QPlainTextEdit *>())
                shown += box->toPlainText();
            QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
            preview->grab().save(QStringLiteral(SCREENSHOT_DIR "/repair-preview.png"));
            Press(preview, QStringLiteral("Close"));
        });
        Press(dialog, QStringLiteral("Preview..."));
        Press(dialog, QStringLiteral("Cancel"));
    });
    Give(desk.frame->Actions().repair);
    EXPECT_EQ(shown, QStringLiteral("--- %1\n+++ %1\n@@ -1,1 +1,1 @@\n"
                                    "-<p>a <a href=\"http://127.0.0.1/gone\">Gone</a> b</p>\n"
                                    "+<p>a <a href=\"index.html\">Gone</a> b</p>"
                                    "<!--http://127.0.0.1/gone-->\n")
                         .arg(QString::fromLocal8Bit(page)));
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(page.chopped(5) + ".bak")));
}

TEST(RepairDialogTest, TheThirdChoiceUpdatesOnlyLinksMovedForGood)
{
    DesktopHarness desk;
    const QByteArray original = "<p><a href=\"http://127.0.0.1/old\">Old</a>\n"
                                "<p><a href=\"http://127.0.0.1/away\">Away</a>\n";
    const QByteArray page = desk.Html("index.html", original);
    ASSERT_TRUE(OpenReport(
        desk.frame->View()->Engine(),
        "<Testing: " + page +
            "\r\n\"http://127.0.0.1/old\" >Old<\r\n*Reason for Failure: HTTP Code 301 Moved "
            "Permanently\r\n*Moved to: http://127.0.0.1/new?a=1&b=2 (HTTP Code 200 OK)\r\n"
            "\"http://127.0.0.1/away\" >Away<\r\n*Reason for Failure: HTTP Code 302 Moved "
            "Temporarily\r\n*Moved to: http://127.0.0.1/elsewhere (HTTP Code 200 OK)\r\n"
            ">Results for " +
            page + ": URLs tested: 2. URL errors: 2.\r\n\r\n"));
    QString done;
    WhenModal([&](QWidget *dialog) {
        Radio(dialog, "Update moved links to where they lead")->click();
        WhenModal([&](QWidget *message) {
            done = ModalText(message);
            Press(message, QStringLiteral("OK"));
        });
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().repair);
    EXPECT_EQ(done, QStringLiteral("All URL repairs completed"));
    EXPECT_EQ(desk.StoredInt("Repair", "Type"), 2);
    EXPECT_EQ(ReadFileBytes(page), "<p><a href=\"http://127.0.0.1/new?a=1&amp;b=2\">Old</a>\n"
                                   "<p><a href=\"http://127.0.0.1/away\">Away</a>\n");
    EXPECT_EQ(ReadFileBytes(desk.home.file("index.bak")), original);
}

} // namespace

namespace {

TEST(HelpTest, ADialogsHelpButtonOpensItsPageAndTheBookCanBeSearched)
{
    DesktopHarness desk;
    ASSERT_TRUE(OpenReport(desk.frame->View()->Engine(),
                           "<Testing: /x.html\r\n>Results for /x.html: URLs tested: 0. URL "
                           "errors: 0.\r\n\r\n"));
    QString pageFromDialog;
    WhenModal([&](QWidget *dialog) {
        Press(dialog, QStringLiteral("Help"));
        CHelpWindow *help = desk.frame->HelpWindow();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(help->isVisible());
        pageFromDialog = help->CurrentPage();
        Press(dialog, QStringLiteral("Cancel"));
    });
    Give(desk.frame->Actions().repair);
    EXPECT_EQ(pageFromDialog, QStringLiteral("repair.html"));

    // The book's search finds pages by their words.
    QStringList found;
    for (const CHelpWindow::Page &page :
         desk.frame->HelpWindow()->Search(QStringLiteral("backup bak")))
        found.append(page.file);
    EXPECT_TRUE(found.contains(QStringLiteral("repair.html")));
}

} // namespace
