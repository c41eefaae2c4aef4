#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>

#include "controls/colorcell.h"
#include "controls/colorpalette.h"
#include "controls/colorpickerbutton.h"
#include "controls/colorpopup.h"
#include "engine/resultcategories.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "settings/ui/filterlistbox.h"
#include "settings/ui/settingscommand.h"
#include "settings/ui/settingsdlg.h"
#include "support/recordingui.h"
#include "support/temphome.h"

namespace {

// The filters as the dialog shows them, one character per row, and as
// "Filter" stores them: the 21 classic categories only.
const QByteArray kHawk = kFilterWatchLikeAHawk;
const QByteArray kOneEye = kFilterWatchWithOneEyeShut;
const QByteArray kOneEyeStored = "000000011110000001000";

std::array<QByteArray, kCategoryCount> CategoryTexts()
{
    RecordingUi ui;
    return CResultCategories(ui).m_strCategory;
}

QPushButton *Button(QWidget &dialog, const QString &text)
{
    const auto buttons = dialog.findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text)
            return button;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

QLineEdit *TimeoutField(QWidget &dialog)
{
    return dialog.findChild<QLineEdit *>();
}

QSpinBox *JobsField(QWidget &dialog)
{
    return dialog.findChild<QSpinBox *>();
}

CFilterListBox *FilterList(QWidget &dialog)
{
    return dialog.findChild<CFilterListBox *>();
}

QByteArray Checks(const CFilterListBox &list)
{
    QByteArray checks;
    for (int i = 0; i < list.count(); ++i)
        checks.append(list.item(i)->checkState() == Qt::Checked ? '1' : '0');
    return checks;
}

struct Message
{
    QString title;
    QString text;
};

// Clicks a button and answers the message box that the click may open.
std::optional<Message> ClickAnsweringMessage(QAbstractButton *button)
{
    std::optional<Message> message;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, button, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        timer.stop();
        message = Message{box->windowTitle(), box->text()};
        box->button(QMessageBox::Ok)->click();
    });
    timer.start();
    QTest::mouseClick(button, Qt::LeftButton);
    // The message comes from the event loop, after the click has returned.
    static_cast<void>(QTest::qWaitFor([&message] { return message.has_value(); }, 2000));
    return message;
}

// Runs the Settings command; drive acts on the open dialog and ends it.
std::optional<ViewSettings> RunSettings(CRegSettings &settings, const ViewSettings &current,
                                        const std::function<void(CSettingsDlg &)> &drive)
{
    bool driven = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, qApp, [&] {
        auto *dialog = qobject_cast<CSettingsDlg *>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer.stop();
        driven = true;
        drive(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->reject();
        }
    });
    timer.start();
    std::optional<ViewSettings> result =
        RunSettingsDialog(nullptr, settings, CategoryTexts(), current);
    EXPECT_TRUE(driven);
    return result;
}

class SettingsDialogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        CColorPalette::ResetToDefaults();
        m_settings = StartSettingsStore();
        ASSERT_TRUE(m_settings);
    }

    QByteArray Stored(const char *name) const
    {
        return m_settings->ReadString("Settings", name, "(none)");
    }

    TempHome m_home;
    std::unique_ptr<CRegSettings> m_settings;
};

TEST_F(SettingsDialogTest, OpensWithTheCurrentValuesAndAReadableAccessibleLayout)
{
    const ViewSettings current{RGBRef(0, 128, 128), 15, kHawk};
    const auto result = RunSettings(*m_settings, current, [&](CSettingsDlg &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
        CFilterListBox *list = FilterList(dialog);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), kCategoryCount);
        EXPECT_EQ(Checks(*list), kHawk);
        const auto texts = CategoryTexts();
        for (int i = 0; i < kCategoryCount; ++i) {
            EXPECT_EQ(list->item(i)->text(), QString::fromLatin1(texts[i]));
            EXPECT_EQ(list->visualItemRect(list->item(i)).height(), CFilterListBox::kRowHeight);
        }
        EXPECT_EQ(TimeoutField(dialog)->text(), QStringLiteral("15"));
        auto *color = dialog.findChild<CColorPickerButton *>();
        EXPECT_EQ(color->Color(), current.backColor);

        // An outside driver finds each row with its text and check state,
        // and the colour button by its label.
        QAccessibleInterface *rows = QAccessible::queryAccessibleInterface(list);
        ASSERT_EQ(rows->childCount(), kCategoryCount);
        EXPECT_EQ(rows->child(0)->text(QAccessible::Name), QStringLiteral("HTTP Code 200 OK"));
        EXPECT_FALSE(rows->child(0)->state().checked);
        EXPECT_TRUE(rows->child(20)->state().checked);
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(color);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("BackGround Color"));

        QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
        EXPECT_TRUE(dialog.grab().save(QStringLiteral(SCREENSHOT_DIR "/settingsdlg.png")));
        Button(dialog, QStringLiteral("Cancel"))->click();
    });
    EXPECT_FALSE(result);
}

TEST_F(SettingsDialogTest, PresetsCheckTheirRowsAndOnlyASuccessfulOkAppliesThem)
{
    const struct
    {
        QByteArray start;
        const char *preset;
        QByteArray presetFilter;
        const char *badTimeout; // typed before OK when set
        const char *end;
        std::optional<QByteArray> filter;
    } cases[] = {
        {kHawk, "Watch With One Eye Shut", kOneEye, nullptr, "OK", kOneEye},
        {kOneEye, "Watch Like a Hawk", kHawk, nullptr, "OK", kHawk},
        {kOneEye, "Watch Like a Hawk", kHawk, nullptr, "Cancel", std::nullopt},
        {kHawk, "Watch With One Eye Shut", kOneEye, "51", "Cancel", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.preset) + " then " + c.end);
        TempHome home;
        const auto settings = StartSettingsStore();
        const auto result =
            RunSettings(*settings, {RGBRef(255, 255, 255), 15, c.start}, [&](CSettingsDlg &dlg) {
                Button(dlg, QString::fromLatin1(c.preset))->click();
                EXPECT_EQ(Checks(*FilterList(dlg)), c.presetFilter);
                if (c.badTimeout != nullptr) {
                    TimeoutField(dlg)->setText(QString::fromLatin1(c.badTimeout));
                    EXPECT_TRUE(ClickAnsweringMessage(Button(dlg, QStringLiteral("OK"))));
                }
                Button(dlg, QString::fromLatin1(c.end))->click();
            });
        EXPECT_EQ(result.has_value(), c.filter.has_value());
        if (result && c.filter) {
            EXPECT_EQ(result->filter, *c.filter);
        }
        EXPECT_EQ(settings->ReadString("Settings", "Filter", "(none)"),
                  c.filter ? c.filter->left(kClassicCategoryCount) : QByteArray("(none)"));
    }
}

TEST_F(SettingsDialogTest, TimeoutIsAWholeNumberFrom5To50)
{
    const QString range = QStringLiteral("Please enter an integer between 5 and 50.");
    const QString integer = QStringLiteral("Please enter an integer.");
    const struct
    {
        const char *typed;
        std::optional<int> accepted;
        QString message;
    } cases[] = {
        {"4", std::nullopt, range},
        {"5", 5, {}},
        {"50", 50, {}},
        {"51", std::nullopt, range},
        {"abc", std::nullopt, integer},
        {"", std::nullopt, integer},
        {"-7", std::nullopt, range},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        const auto result =
            RunSettings(*m_settings, {RGBRef(255, 255, 255), 15, kHawk}, [&](CSettingsDlg &dlg) {
                QLineEdit *field = TimeoutField(dlg);
                field->clear();
                QTest::keyClicks(field, QString::fromLatin1(c.typed));
                const auto message = ClickAnsweringMessage(Button(dlg, QStringLiteral("OK")));
                if (c.accepted) {
                    EXPECT_FALSE(message);
                    return;
                }
                ASSERT_TRUE(message);
                EXPECT_EQ(message->title, QStringLiteral("Vantrel"));
                EXPECT_EQ(message->text, c.message);
                EXPECT_TRUE(dlg.isVisible());
                EXPECT_EQ(dlg.focusWidget(), field);
                EXPECT_EQ(field->selectedText(), field->text());
                Button(dlg, QStringLiteral("Cancel"))->click();
            });
        ASSERT_EQ(result.has_value(), c.accepted.has_value());
        if (result) {
            EXPECT_EQ(result->timeoutSec, *c.accepted);
        }
        EXPECT_EQ(Stored("Timeout"),
                  c.accepted ? QByteArray::number(*c.accepted) : QByteArray("(none)"));
        m_settings->WriteString("Settings", "Timeout", "(none)");
    }
}

TEST_F(SettingsDialogTest, OkStoresColorTimeoutAndFilterInThatOrderEveryTime)
{
    const ViewSettings current{RGBRef(255, 255, 255), 20, kOneEye, 1};
    const auto chosen = RunSettings(*m_settings, current, [](CSettingsDlg &dlg) {
        auto *color = dlg.findChild<CColorPickerButton *>();
        QTimer pick;
        pick.setSingleShot(true);
        QObject::connect(&pick, &QTimer::timeout, color, [color] {
            const auto cells = color->Popup().findChildren<CColorCell *>();
            QTest::mouseClick(cells.at(2), Qt::LeftButton); // dark green
        });
        pick.start(0);
        QTest::mouseClick(color, Qt::LeftButton);
        QApplication::sendPostedEvents();
        EXPECT_EQ(color->Color(), RGBRef(0, 128, 0));
        Button(dlg, QStringLiteral("OK"))->click();
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->backColor, RGBRef(0, 128, 0));
    EXPECT_EQ(chosen->timeoutSec, 20);
    EXPECT_EQ(chosen->filter, kOneEye);
    EXPECT_EQ(Stored("BackColor"), "32768");
    EXPECT_EQ(Stored("Timeout"), "20");
    EXPECT_EQ(Stored("Filter"), kOneEyeStored);
    EXPECT_EQ(Stored("TlsFilter"), "1111");
    EXPECT_EQ(Stored("WebFilter"), "111111");
    EXPECT_EQ(Stored("TodaysWeb"), "0");
    EXPECT_EQ(Stored("SiteRoot"), "");
    const QByteArray file = ReadFileBytes(m_home.file("settings.reg"));
    const qsizetype backColor = file.indexOf("\"BackColor\"=");
    const qsizetype timeout = file.indexOf("\"Timeout\"=");
    const qsizetype filter = file.indexOf("\"Filter\"=");
    const qsizetype jobs = file.indexOf("\"Jobs\"=");
    const qsizetype tlsFilter = file.indexOf("\"TlsFilter\"=");
    const qsizetype webFilter = file.indexOf("\"WebFilter\"=");
    const qsizetype todaysWeb = file.indexOf("\"TodaysWeb\"=");
    const qsizetype siteRoot = file.indexOf("\"SiteRoot\"=");
    EXPECT_TRUE(backColor >= 0 && backColor < timeout && timeout < filter && filter < jobs &&
                jobs < tlsFilter && tlsFilter < webFilter && webFilter < todaysWeb &&
                todaysWeb < siteRoot)
        << file.constData();

    // An OK without changes writes all of them again.
    for (const char *name :
         {"BackColor", "Timeout", "Filter", "Jobs", "TlsFilter", "WebFilter", "TodaysWeb"})
        m_settings->WriteString("Settings", name, "stale");
    const auto again = RunSettings(*m_settings, *chosen, [](CSettingsDlg &dlg) {
        Button(dlg, QStringLiteral("OK"))->click();
    });
    ASSERT_TRUE(again);
    EXPECT_EQ(Stored("BackColor"), "32768");
    EXPECT_EQ(Stored("Timeout"), "20");
    EXPECT_EQ(Stored("Filter"), kOneEyeStored);
    EXPECT_EQ(Stored("Jobs"), "1");
    EXPECT_EQ(Stored("TlsFilter"), "1111");
    EXPECT_EQ(Stored("WebFilter"), "111111");
    EXPECT_EQ(Stored("TodaysWeb"), "0");
}

// "Links Tested at Once:" sits right of the time-out row, under the Type B
// group; it opens with the current number, takes 1 to 100, and only OK keeps
// a change.
// The site root and the proxy open with their current values; OK stores what
// was typed, without the blanks around it, Cancel nothing.
TEST_F(SettingsDialogTest, SiteRootAndProxyAreFieldsOfTheirOwn)
{
    const struct
    {
        const char *label;
        const char *stored;
        QByteArray ViewSettings::*member;
        QByteArray current;
        const char *typed;
        QByteArray kept;
    } fields[] = {
        {"Site Root for Links Starting with /:", "SiteRoot", &ViewSettings::siteRoot, "/srv/old",
         " /srv/site ", "/srv/site"},
        {"Proxy:", "Proxy", &ViewSettings::proxy, "http://old.example:3128",
         " http://127.0.0.1:3128 ", "http://127.0.0.1:3128"},
    };
    for (const auto &f : fields) {
        for (const char *end : {"OK", "Cancel"}) {
            SCOPED_TRACE(std::string(f.stored) + " " + end);
            TempHome home;
            const auto settings = StartSettingsStore();
            ViewSettings current{RGBRef(255, 255, 255), 15, kHawk, 1};
            current.*f.member = f.current;
            const auto result = RunSettings(*settings, current, [&](CSettingsDlg &dlg) {
                QLineEdit *field = nullptr;
                for (QLineEdit *edit : dlg.findChildren<QLineEdit *>()) {
                    if (edit->accessibleName() == QString::fromUtf8(f.label))
                        field = edit;
                }
                ASSERT_NE(field, nullptr);
                EXPECT_EQ(field->text(), QString::fromUtf8(f.current));
                field->setText(QString::fromUtf8(f.typed));
                Button(dlg, QString::fromLatin1(end))->click();
            });
            if (QByteArray(end) == "OK") {
                ASSERT_TRUE(result);
                EXPECT_EQ((*result).*f.member, f.kept);
                EXPECT_EQ(settings->ReadString("Settings", f.stored, "none"), f.kept);
            } else {
                EXPECT_FALSE(result);
                EXPECT_EQ(settings->ReadString("Settings", f.stored, "none"), "none");
            }
        }
    }
}

// The three fields of today's web mode's patience open with the current
// values, each found by its name, and OK stores what was typed.
TEST_F(SettingsDialogTest, TriesAgainLongestWaitAndPausePerHostAreStoredOnOk)
{
    ViewSettings current{RGBRef(255, 255, 255), 15, kHawk, 1};
    current.polite = {3, 30000, 250, 1000};
    const struct
    {
        const char *name;
        int opens;
        int highest;
        const char *typed;
        const char *stored;
    } fields[] = {
        {"Tries Again for Busy Hosts:", 3, 10, "5", "Retries"},
        {"Longest Wait (seconds):", 30, 3600, "10", "RetryWaitMax"},
        {"Pause per Host (ms):", 250, 600000, "500", "HostInterval"},
    };
    const auto chosen = RunSettings(*m_settings, current, [&](CSettingsDlg &dlg) {
        for (const auto &field : fields) {
            SCOPED_TRACE(field.name);
            QSpinBox *spin = nullptr;
            for (QSpinBox *box : dlg.findChildren<QSpinBox *>()) {
                if (box->accessibleName() == QString::fromLatin1(field.name))
                    spin = box;
            }
            ASSERT_NE(spin, nullptr);
            EXPECT_EQ(spin->value(), field.opens);
            EXPECT_EQ(spin->maximum(), field.highest);
            spin->selectAll();
            QTest::keyClicks(spin, QString::fromLatin1(field.typed));
        }
        Button(dlg, QStringLiteral("OK"))->click();
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->polite.retries, 5);
    EXPECT_EQ(chosen->polite.waitMaxMs, 10000);
    EXPECT_EQ(chosen->polite.hostIntervalMs, 500);
    for (const auto &field : fields)
        EXPECT_EQ(Stored(field.stored), field.typed) << field.stored;
}

// The exclusion list opens with the stored patterns; OK refuses a pattern
// that is not a regular expression, naming it, and stores a valid list.
TEST_F(SettingsDialogTest, ExclusionListRefusesABadPatternAndStoresAGoodOne)
{
    ViewSettings current{RGBRef(255, 255, 255), 15, kHawk, 1};
    current.exclusions = "^https://old\\.example/";
    const auto result = RunSettings(*m_settings, current, [](CSettingsDlg &dlg) {
        auto *field = dlg.findChild<QPlainTextEdit *>();
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->accessibleName(),
                  QStringLiteral("Exclude Links Matching (one pattern a line):"));
        EXPECT_EQ(field->toPlainText(), QStringLiteral("^https://old\\.example/"));
        field->setPlainText(QStringLiteral("# PDFs\n\\.pdf$\nsite(\n"));
        const auto message = ClickAnsweringMessage(Button(dlg, QStringLiteral("OK")));
        ASSERT_TRUE(message);
        EXPECT_TRUE(message->text.contains(QStringLiteral("line 3: bad pattern \"site(\"")))
            << message->text.toStdString();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), field);
        field->setPlainText(QStringLiteral("# PDFs\n\\.pdf$\nsite\\(\n"));
        Button(dlg, QStringLiteral("OK"))->click();
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(Stored("ExcludeLinks"), "# PDFs\n\\.pdf$\nsite\\(\n");
}

TEST_F(SettingsDialogTest, LinksTestedAtOnceIsAFieldFrom1To100BesideTheTimeOut)
{
    const struct
    {
        int current;
        const char *typed;
        const char *end;
        std::optional<int> stored;
    } cases[] = {
        {1, "8", "OK", 8},
        {8, "250", "OK", 25}, // the field takes no third digit past 100
        {8, "0", "OK", 8},
        {4, "12", "Cancel", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " then " + c.end);
        TempHome home;
        const auto settings = StartSettingsStore();
        const ViewSettings current{RGBRef(255, 255, 255), 15, kHawk, c.current};
        const auto result = RunSettings(*settings, current, [&](CSettingsDlg &dlg) {
            QSpinBox *jobs = JobsField(dlg);
            ASSERT_NE(jobs, nullptr);
            EXPECT_EQ(jobs->value(), c.current);
            EXPECT_EQ(jobs->minimum(), 1);
            EXPECT_EQ(jobs->maximum(), 100);
            EXPECT_EQ(jobs->accessibleName(), QStringLiteral("Links Tested at Once:"));
            const QRect field = jobs->geometry();
            const QRect timeout = TimeoutField(dlg)->geometry();
            const QRect typeB =
                Button(dlg, QStringLiteral("Watch With One Eye Shut"))->parentWidget()->geometry();
            EXPECT_GT(field.left(), timeout.right()) << "right of the time-out";
            EXPECT_GE(field.top(), typeB.bottom()) << "under the Type B group";
            EXPECT_LT(field.top(), timeout.bottom()) << "on the time-out's row";
            EXPECT_LT(timeout.top(), field.bottom());

            jobs->selectAll();
            QTest::keyClicks(jobs, QString::fromLatin1(c.typed));
            Button(dlg, QString::fromLatin1(c.end))->click();
        });
        ASSERT_EQ(result.has_value(), c.stored.has_value());
        if (result) {
            EXPECT_EQ(result->jobs, *c.stored);
        }
        EXPECT_EQ(settings->ReadString("Settings", "Jobs", "(none)"),
                  c.stored ? QByteArray::number(*c.stored) : QByteArray("(none)"));
    }
}

// "Test Today's Web" sits in the free place under the Type B group, above
// "Links Tested at Once:", without moving anything else of the dialog; it
// opens with the current mode, and OK stores it after the other values.
TEST_F(SettingsDialogTest, TodaysWebIsACheckBoxInTheFreePlaceUnderTheTypeBGroup)
{
    for (const bool start : {false, true}) {
        for (const char *end : {"OK", "Cancel"}) {
            SCOPED_TRACE(std::string(start ? "on" : "off") + " then " + end);
            TempHome home;
            const auto settings = StartSettingsStore();
            ViewSettings current{RGBRef(255, 255, 255), 15, kHawk, 1};
            current.todaysWeb = start;
            const auto result = RunSettings(*settings, current, [&](CSettingsDlg &dlg) {
                QCheckBox *box = dlg.findChild<QCheckBox *>();
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->text(), QStringLiteral("Test Today's Web"));
                EXPECT_EQ(box->isChecked(), start);
                const QRect typeB = Button(dlg, QStringLiteral("Watch With One Eye Shut"))
                                        ->parentWidget()
                                        ->geometry();
                const QRect jobs = JobsField(dlg)->geometry();
                const QRect place = box->geometry();
                EXPECT_GE(place.top(), typeB.bottom()) << "under the Type B group";
                EXPECT_LE(place.bottom(), jobs.top()) << "above Links Tested at Once";
                EXPECT_GE(place.left(), typeB.left());
                EXPECT_LE(place.right(), typeB.right()) << "within the right column";

                // Everything else stands where it stands without the box.
                QList<QWidget *> others;
                for (QWidget *widget : dlg.findChildren<QWidget *>()) {
                    if (widget != box && widget->parentWidget() == &dlg)
                        others.append(widget);
                }
                QList<QRect> with;
                for (QWidget *widget : others)
                    with.append(widget->geometry());
                const QSize size = dlg.size();
                box->hide();
                dlg.layout()->activate();
                for (qsizetype i = 0; i < others.size(); ++i)
                    EXPECT_EQ(others[i]->geometry(), with[i])
                        << others[i]->metaObject()->className();
                EXPECT_EQ(dlg.size(), size);
                box->show();
                dlg.layout()->activate();

                QTest::mouseClick(box, Qt::LeftButton);
                Button(dlg, QString::fromLatin1(end))->click();
            });
            const bool ok = QByteArray(end) == "OK";
            ASSERT_EQ(result.has_value(), ok);
            if (result) {
                EXPECT_EQ(result->todaysWeb, !start);
            }
            EXPECT_EQ(settings->ReadString("Settings", "TodaysWeb", "(none)"),
                      ok ? QByteArray(start ? "0" : "1") : QByteArray("(none)"));
        }
    }
}

TEST_F(SettingsDialogTest, ARowTogglesByItsBoxOrSpaceButNotByItsTextAndIsNeverHighlighted)
{
    CSettingsDlg dialog(CategoryTexts(), nullptr);
    dialog.SetValues(RGBRef(255, 255, 255), 15, "011111111111111111111");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CFilterListBox *list = FilterList(dialog);

    const auto boxOf = [list](int row) {
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualItemRect(list->item(row));
        option.features =
            QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = list->item(row)->text();
        return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    };
    const QRect box = boxOf(1);
    const QPoint onText(box.right() + 40, box.center().y());

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onText);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, boxOf(0).center());
    EXPECT_EQ(Checks(*list), "1011111111111111111111111111111");

    list->setFocus();
    list->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(Checks(*list), "1001111111111111111111111111111");

    EXPECT_FALSE(list->selectionModel()->hasSelection());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::NoSelection);
    dialog.accept();
    EXPECT_EQ(dialog.Filter(), "1001111111111111111111111111111");
}

} // namespace
