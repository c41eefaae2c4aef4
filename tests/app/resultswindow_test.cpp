#include <QAction>
#include <QFile>
#include <QRadioButton>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/vantreldoc.h"
#include "desktoptestsupport.h"
#include "engine/ui/vantrelview.h"
#include "results/ui/repairdlg.h"

namespace {

// A report of one run over one page, as a saved file holds it.
QByteArray ReportFor(const QByteArray &page, const QByteArray &category)
{
    return "Start of test Monday\r\n\r\n<Testing: " + page +
           "\r\n\"http://127.0.0.1/gone\" >Gone<\r\n*Reason for Failure: " + category +
           "\r\n>Results for " + page +
           ": URLs tested: 1. URL errors: 1.\r\n\r\nEnd of test: "
           "Monday\r\n\r\n";
}

TEST(ResultsWindowTest, StartsWithTheStoredLookAndWritesBackTheSystemColour)
{
    {
        DesktopHarness desk;
        CVantrelView *view = desk.frame->View();
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        EXPECT_EQ(view->font().family(), QStringLiteral("Arial"));
        EXPECT_EQ(view->font().pointSizeF(), 10.0);
        EXPECT_TRUE(view->font().bold());
        const ColorRef system = view->BackColor();
        EXPECT_EQ(desk.StoredInt("Settings", "BackColor"), static_cast<int>(system));
        EXPECT_EQ(view->palette().color(QPalette::Base), ColorFromRef(system));
    }
    {
        // A dark colour keeps the report readable.
        DesktopHarness desk;
        desk.frame.reset();
        desk.settings->WriteInt("Settings", "BackColor", static_cast<int>(RGBRef(0, 0, 128)));
        desk.settings->WriteString("Font", "Face", "DejaVu Serif");
        desk.settings->WriteInt("Font", "Height", 125);
        desk.settings->WriteInt("Font", "Weight", 400);
        desk.frame = std::make_unique<CMainFrame>(*desk.settings, [] {});
        CVantrelView *view = desk.frame->View();
        EXPECT_EQ(view->palette().color(QPalette::Base), QColor(0, 0, 128));
        EXPECT_EQ(view->palette().color(QPalette::Text), QColor(Qt::white));
        EXPECT_EQ(view->font().family(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(view->font().pointSizeF(), 12.5);
        EXPECT_FALSE(view->font().bold());
    }
}

TEST(ResultsWindowTest, ASavedReportComesBackByteForByteReadyToRepairAndClearWindowDisablesIt)
{
    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    const FrameActions &actions = desk.frame->Actions();
    const QByteArray page = desk.Html("index.html", "<a href=\"http://127.0.0.1/gone\">Gone</a>\n");
    const QByteArray report = ReportFor(page, "--------------> UNKNOWN REASON !!!!!");
    const QString saved = QString::fromLocal8Bit(desk.home.file("saved.txt"));
    WriteFileBytes(desk.home.file("saved.txt"), report);

    desk.frame->Document().m_chooseOpen = [&saved](QWidget *, const QString &) {
        return saved;
    };
    Give(actions.openReport);
    EXPECT_EQ(view->Engine().ReportText(), report);
    EXPECT_EQ(desk.frame->windowTitle(), QStringLiteral("saved.txt - Vantrel"));
    EXPECT_TRUE(actions.retest->isEnabled());
    EXPECT_TRUE(actions.repair->isEnabled());
    EXPECT_TRUE(actions.exportResults->isEnabled());

    // Saving writes the engine's bytes, CR LF and all.
    const QString copy = QString::fromLocal8Bit(desk.home.file("copy.txt"));
    desk.frame->Document().m_chooseSave = [&copy](QWidget *, const QString &) {
        return copy;
    };
    Give(actions.saveReportAs);
    EXPECT_EQ(ReadFileBytes(desk.home.file("copy.txt")), report);
    EXPECT_EQ(desk.frame->windowTitle(), QStringLiteral("copy.txt - Vantrel"));

    // The report shows an unknown reply code: the repair asks first; then the
    // dialog's choice is stored and the page is repaired with a backup.
    QStringList seen;
    WhenModal([&](QWidget *question) {
        seen.append(ModalText(question));
        WhenModal([&](QWidget *dialog) {
            ASSERT_NE(dynamic_cast<CRepairDlg *>(dialog), nullptr);
            for (QRadioButton *radio : dialog->findChildren<QRadioButton *>()) {
                if (radio->text().startsWith(QStringLiteral("Replace")))
                    radio->click();
            }
            WhenModal([&](QWidget *done) {
                seen.append(ModalText(done));
                Press(done, QStringLiteral("OK"));
            });
            Press(dialog, QStringLiteral("OK"));
        });
        Press(question, QStringLiteral("Yes"));
    });
    Give(actions.repair);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("The testing found at least one URL\n")));
    EXPECT_EQ(seen[1], QStringLiteral("All URL repairs completed"));
    EXPECT_EQ(desk.StoredInt("Repair", "Type"), 1);
    EXPECT_EQ(ReadFileBytes(page), "<a href=\"index.html\">Gone</a><!--http://127.0.0.1/gone-->\n");
    EXPECT_EQ(ReadFileBytes(desk.home.file("index.bak")),
              "<a href=\"http://127.0.0.1/gone\">Gone</a>\n");

    Give(actions.clearWindow);
    EXPECT_TRUE(view->toPlainText().isEmpty());
    EXPECT_EQ(desk.frame->windowTitle(), QStringLiteral("Vantrel"));
    for (QAction *action :
         {actions.clearWindow, actions.exportResults, actions.retest, actions.repair})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
}

TEST(ResultsWindowTest, AFileThatIsNotAReportIsRefusedWithoutStallingTheWindow)
{
    DesktopHarness desk;
    const QByteArray fifo = desk.home.file("pipe");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    QString message;
    WhenModal([&](QWidget *box) {
        message = ModalText(box);
        Press(box, QStringLiteral("OK"));
    });
    EXPECT_FALSE(desk.frame->Document().OpenFile(QString::fromLocal8Bit(fifo)));
    EXPECT_TRUE(message.contains(QStringLiteral("not a file"))) << message.toStdString();
    EXPECT_FALSE(desk.frame->View()->Engine().HasText());
}

} // namespace
