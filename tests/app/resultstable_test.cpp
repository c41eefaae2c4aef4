#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/vantreldoc.h"
#include "desktoptestsupport.h"
#include "discovery/ui/progressdlg.h"
#include "engine/ui/vantrelview.h"
#include "records/ui/linktablemodel.h"
#include "records/ui/resultstable.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"

namespace {

QStringList Texts(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

void ChooseFile(const QByteArray &path)
{
    WhenModal([path](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(path));
        Press(dialog, QStringLiteral("OK"));
    });
}

// The texts of a column, top to bottom, as the table shows them.
QStringList Column(QTableView *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        texts.append(table->model()->index(row, column).data().toString());
    return texts;
}

// A program on PATH that writes its arguments, one a line, into a file.
void StandIn(const QByteArray &dir, const char *name, const QByteArray &record)
{
    const QByteArray path = dir + "/" + name;
    WriteFileBytes(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + record + ".part && mv " + record +
                             ".part " + record + "\n");
    QFile::setPermissions(QString::fromLocal8Bit(path),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The menu opened from the keyboard on the table's current row.
QMenu *OpenMenuByKeyboard(QTableView *view)
{
    const QPoint at = view->viewport()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    QMenu *menu = nullptr;
    WaitUntil([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); });
    return menu;
}

QAction *Item(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

TEST(ResultsTableTest, ATableOfEveryLinkSortsFiltersAndOpensThePageAtTheLink)
{
    LoopbackServer server;
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    server.setReply("/odd", LoopbackReply::Status("HTTP/1.1 203 Non-Authoritative"));
    DesktopHarness desk(server.portText());
    const QByteArray page =
        desk.Html("site.html", "<html>\n<a href=\"http://127.0.0.1/ok\">Fine</a>\n"
                               "<a href=\"http://127.0.0.1/missing\">Gone</a>\n"
                               "<a href=\"http://127.0.0.1/odd\">Odd</a>\n"
                               "<a href=\"http://127.0.0.2/refused\">Refused</a>\n</html>\n");
    ChooseFile(page);
    Give(desk.frame->Actions().selectFiles);
    CVantrelView *view = desk.frame->View();
    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }, std::chrono::seconds(20)));
    CResultsTable *results = desk.frame->Table();
    desk.frame->Tabs()->setCurrentWidget(results);

    // A table with its column headers, one row per tested link in link order.
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(results->View());
    ASSERT_EQ(access->role(), QAccessible::Table);
    QAccessibleTableInterface *table = access->tableInterface();
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers.append(table->columnDescription(column));
    EXPECT_EQ(headers, Texts({"Page", "Line", "Link", "Result", "Code", "Moved To", "Time"}));
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(Column(results->View(), 1), Texts({"2", "3", "4", "5"}));
    EXPECT_EQ(Column(results->View(), 3),
              Texts({"HTTP Code 200 OK", "HTTP Code 404 Not Found",
                     "--------------> UNKNOWN REASON !!!!!", "Can't Connect to Host"}));
    EXPECT_EQ(Column(results->View(), 4), Texts({"200", "404", "203", ""}));
    EXPECT_TRUE(results->Summary()->text().startsWith(QStringLiteral("4 links tested.")));
    EXPECT_TRUE(results->Summary()->text().contains(QStringLiteral("HTTP Code 404 Not Found: 1")));
    // Never colour alone: each result has its icon too, and they differ.
    const QModelIndex okCell = results->View()->model()->index(0, 3);
    const QModelIndex goneCell = results->View()->model()->index(1, 3);
    EXPECT_NE(okCell.data(Qt::ForegroundRole), goneCell.data(Qt::ForegroundRole));
    EXPECT_FALSE(okCell.data(Qt::DecorationRole).value<QIcon>().isNull());

    // Sorting by Result, by a click on its header.
    QHeaderView *header = results->View()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
    EXPECT_EQ(Column(results->View(), 3),
              Texts({"--------------> UNKNOWN REASON !!!!!", "Can't Connect to Host",
                     "HTTP Code 200 OK", "HTTP Code 404 Not Found"}));
    // Filtering: a category, then the failures of a preset, then a text.
    QComboBox *show = results->CategoryChoice();
    show->setCurrentIndex(show->findText(QStringLiteral("HTTP Code 404 Not Found")));
    EXPECT_EQ(Column(results->View(), 2), Texts({"http://127.0.0.1/missing"}));
    show->setCurrentIndex(show->findText(QStringLiteral("Watch With One Eye Shut")));
    EXPECT_EQ(Column(results->View(), 2),
              Texts({"http://127.0.0.1/odd", "http://127.0.0.1/missing"}));
    EXPECT_TRUE(results->Summary()->text().startsWith(QStringLiteral("4 links tested, 2 shown.")));
    show->setCurrentIndex(show->findText(QStringLiteral("All Results")));
    results->findChild<QLineEdit *>()->setText(QStringLiteral("refused"));
    EXPECT_EQ(results->View()->model()->rowCount(), 1);
    results->findChild<QLineEdit *>()->clear();

    // The link menu, from the keyboard, on the row of the 404: its items act
    // through the desktop's programs, here stand-ins that record the call.
    const QByteArray bin = desk.home.file("bin");
    QDir().mkpath(QString::fromLocal8Bit(bin));
    const QByteArray opened = desk.home.file("opened"), edited = desk.home.file("edited");
    StandIn(bin, "xdg-open", opened);
    StandIn(bin, "stand-in-editor", edited);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin + ":" + path);
    qputenv("VISUAL", "stand-in-editor --wait");
    results->View()->setFocus();
    results->View()->selectRow(3);
    QMenu *menu = OpenMenuByKeyboard(results->View());
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction *action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items, Texts({"Open Link in Browser", "Open Page in Browser", "Open Page in Editor",
                            "Copy Link", "-", "Re-test Selected", "Repair Selected..."}));
    Item(menu, QStringLiteral("Open Link in Browser"))->trigger();
    menu->close();
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromLocal8Bit(opened)); }));
    EXPECT_EQ(ReadFileBytes(opened), "http://127.0.0.1/missing\n");
    // Enter opens the page at the link's line in the editor.
    QTest::keyClick(results->View(), Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromLocal8Bit(edited)); }));
    EXPECT_EQ(ReadFileBytes(edited), "--wait\n+3\n" + page + "\n");
    QFile::remove(QString::fromLocal8Bit(opened));
    results->ContextMenu()->actions().at(1)->trigger();
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromLocal8Bit(opened)); }));
    EXPECT_EQ(ReadFileBytes(opened), "file://" + page + "\n");
    Item(results->ContextMenu(), QStringLiteral("Copy Link"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("http://127.0.0.1/missing"));
    qputenv("PATH", path);
    qunsetenv("VISUAL");

    // Re-test Selected probes that link alone, as a run after the report.
    const QByteArray before = view->Engine().ReportText();
    Item(results->ContextMenu(), QStringLiteral("Re-test Selected"))->trigger();
    ASSERT_TRUE(WaitUntil([&] { return view->Engine().ReportText().size() > before.size(); }));
    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }, std::chrono::seconds(20)));
    const QByteArray retest = view->Engine().ReportText().mid(before.size());
    EXPECT_TRUE(retest.contains("URLs tested: 1. URL errors: 1.")) << retest.constData();
    EXPECT_EQ(results->Model().rowCount(), 5);

    // Repair Selected... repairs just the selected link (the unknown reply,
    // first by Result), after its dialog.
    QString done;
    WhenModal([&done](QWidget *dialog) {
        WhenModal([&done](QWidget *box) {
            done = ModalText(box);
            Press(box, QStringLiteral("OK"));
        });
        Press(dialog, QStringLiteral("OK"));
    });
    results->View()->selectRow(0);
    Item(results->ContextMenu(), QStringLiteral("Repair Selected..."))->trigger();
    QApplication::sendPostedEvents();
    EXPECT_EQ(done, QStringLiteral("All URL repairs completed"));
    const QByteArray repaired = ReadFileBytes(page);
    EXPECT_TRUE(repaired.contains("<!--<a href=\"http://127.0.0.1/odd\">Odd</a>-->"))
        << repaired.constData();
    EXPECT_TRUE(repaired.contains("<a href=\"http://127.0.0.1/missing\">Gone</a>"));

    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    desk.frame->grab().save(QStringLiteral(SCREENSHOT_DIR "/results-table.png"));
}

TEST(ResultsTableTest, UnsavedReportIsAskedForAndTheProgressWindowStopsBesideTheReport)
{
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    DesktopHarness desk(silent.portText());
    desk.frame->move(0, 0);
    desk.frame->resize(500, 400);
    CVantrelView *view = desk.frame->View();
    const QByteArray page = desk.Html("slow.html", "<a href=\"http://127.0.0.1/\">Slow</a>.");
    ChooseFile(page);
    Give(desk.frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] { return view->Engine().AwaitingReply(); }));
    CProgressDlg *progress = view->ProgressDialog();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->frameGeometry().intersects(desk.frame->frameGeometry()));
    progress->grab().save(QStringLiteral(SCREENSHOT_DIR "/progress-stop.png"));
    Press(progress, QStringLiteral("Stop"));
    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }));
    EXPECT_TRUE(view->Engine().ReportText().endsWith("Testing Stopped by User\r\n"));

    // New asks first; Cancel keeps the report, Save saves it and names it.
    const QByteArray report = view->Engine().ReportText();
    QStringList buttons;
    WhenModal([&](QWidget *question) {
        for (QAbstractButton *button : question->findChildren<QAbstractButton *>())
            buttons.append(button->text());
        question->grab().save(QStringLiteral(SCREENSHOT_DIR "/ask-before-discard.png"));
        Press(question, QStringLiteral("Cancel"));
    });
    Give(desk.frame->Actions().newReport);
    buttons.sort();
    EXPECT_EQ(buttons, Texts({"Cancel", "Discard", "Save"}));
    EXPECT_EQ(view->Engine().ReportText(), report);
    const QString saved = QString::fromLocal8Bit(desk.home.file("report.txt"));
    desk.frame->Document().m_chooseSave = [&saved](QWidget *, const QString &) {
        return saved;
    };
    WhenModal([](QWidget *question) { Press(question, QStringLiteral("Save")); });
    Give(desk.frame->Actions().newReport);
    EXPECT_EQ(ReadFileBytes(desk.home.file("report.txt")), report);
    EXPECT_FALSE(view->Engine().HasText());
    EXPECT_EQ(desk.frame->windowTitle(), QStringLiteral("Vantrel"));
    Give(desk.frame->Actions().newReport); // nothing left to ask about
}

} // namespace
