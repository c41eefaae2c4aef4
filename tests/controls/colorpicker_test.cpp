#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "controls/colorcell.h"
#include "controls/colorpalette.h"
#include "controls/colorpickerbutton.h"
#include "controls/colorpopup.h"

namespace {

std::vector<int> Ages()
{
    std::vector<int> ages;
    for (int i = 0; i < CColorPalette::kCellCount; ++i)
        ages.push_back(CColorPalette::Age(i));
    return ages;
}

std::vector<ColorRef> Colors()
{
    std::vector<ColorRef> colors;
    for (int i = 0; i < CColorPalette::kCellCount; ++i)
        colors.push_back(CColorPalette::Color(i));
    return colors;
}

bool AgesArePermutation()
{
    std::vector<int> ages = Ages();
    std::sort(ages.begin(), ages.end());
    for (int i = 0; i < CColorPalette::kCellCount; ++i) {
        if (ages[i] != i + 1)
            return false;
    }
    return true;
}

CColorCell *CellNamed(CColorPopup &popup, const QString &name)
{
    const auto cells = popup.findChildren<CColorCell *>();
    for (CColorCell *cell : cells) {
        if (cell->accessibleName() == name)
            return cell;
    }
    return nullptr;
}

QPushButton *OtherButton(CColorPopup &popup)
{
    const auto buttons = popup.findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == QStringLiteral("Other..."))
            return button;
    }
    return nullptr;
}

class ColorPickerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        CColorPalette::ResetToDefaults();
        m_button.resize(90, 28);
        m_button.move(100, 100);
        m_button.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_button));
    }
    void TearDown() override { CColorPalette::ResetToDefaults(); }

    // Clicks the button, which runs its popup; whileOpen acts on the open
    // popup and should end it. Returns whether the popup was open.
    bool ClickButton(const std::function<void(CColorPopup &)> &whileOpen)
    {
        bool wasOpen = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &m_button, [&] {
            CColorPopup &popup = m_button.Popup();
            wasOpen = popup.isVisible();
            whileOpen(popup);
            if (popup.isVisible()) {
                ADD_FAILURE() << "the popup is still open";
                popup.hide();
            }
        });
        timer.start(0);
        QTest::mouseClick(&m_button, Qt::LeftButton);
        // The popup runs once the click has returned.
        QApplication::sendPostedEvents();
        return wasOpen;
    }

    // Chooses a colour through "Other...", answering the colour dialog.
    void ChooseOther(const QColor &color)
    {
        m_button.Popup().SetOtherColorSource([color](QWidget *) { return color; });
        ClickButton([](CColorPopup &popup) {
            OtherButton(popup)->click();
            QApplication::sendPostedEvents();
        });
    }

    CColorPickerButton m_button;
};

TEST_F(ColorPickerTest, ChoosingACellMakesItNewestAndAgesExactlyTheMoreRecentCells)
{
    for (int cell = 0; cell < CColorPalette::kCellCount; ++cell) {
        CColorPalette::ResetToDefaults();
        CColorPalette::ChooseCell(3);
        CColorPalette::ChooseCell(17);
        const std::vector<int> before = Ages();
        CColorPalette::ChooseCell(cell);
        const std::vector<int> after = Ages();
        for (int other = 0; other < CColorPalette::kCellCount; ++other) {
            int expected = before[other] < before[cell] ? before[other] + 1 : before[other];
            if (other == cell)
                expected = 1;
            EXPECT_EQ(after[other], expected) << "cell " << cell << ", other " << other;
        }
        EXPECT_TRUE(AgesArePermutation()) << "cell " << cell;
    }
}

TEST_F(ColorPickerTest, NewColorsFromOtherReplaceTheLeastRecentlyChosenCells)
{
    const std::vector<int> order{10, 9,  11, 8,  12, 7,  13, 6,  14, 5, 15,
                                 4,  16, 3,  17, 2,  18, 1,  19, 0,  10};
    for (size_t n = 0; n < order.size(); ++n) {
        const QColor fresh(1, 2, static_cast<int>(n) + 3);
        ChooseOther(fresh);
        EXPECT_EQ(CColorPalette::Color(order[n]), RefFromColor(fresh)) << "colour " << n;
        EXPECT_EQ(CColorPalette::Age(order[n]), 1) << "colour " << n;
        EXPECT_EQ(m_button.Color(), RefFromColor(fresh)) << "colour " << n;
        EXPECT_TRUE(AgesArePermutation());
    }
    // The replaced cell is named by its new colour when the popup opens again.
    ClickButton([](CColorPopup &popup) {
        EXPECT_NE(CellNamed(popup, QStringLiteral("#010217")), nullptr);
        EXPECT_EQ(CellNamed(popup, QStringLiteral("Cream")), nullptr);
        QTest::keyClick(&popup, Qt::Key_Escape);
    });
}

// Clicks "Other..." and answers the real system colour dialog: with a
// colour, or Cancel when there is none. Returns whether the dialog was shown.
bool ClickOtherAnswering(CColorPopup &popup, const std::optional<QColor> &answer)
{
    bool shown = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, &popup, [&] {
        auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer.stop();
        shown = true;
        if (answer) {
            dialog->setCurrentColor(*answer);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    timer.start();
    OtherButton(popup)->click();
    QApplication::sendPostedEvents();
    return shown;
}

TEST_F(ColorPickerTest, OtherWithAPaletteColorChoosesThatCellAndChangesNoColor)
{
    const std::vector<ColorRef> colors = Colors();
    ClickButton([](CColorPopup &popup) {
        EXPECT_TRUE(ClickOtherAnswering(popup, QColor(0, 0, 128))); // navy, cell 4
    });
    EXPECT_EQ(Colors(), colors);
    EXPECT_EQ(m_button.Color(), RGBRef(0, 0, 128));
    EXPECT_EQ(m_button.Popup().Selected(), 4);
    EXPECT_EQ(CColorPalette::Age(4), 1);
    EXPECT_EQ(m_button.accessibleDescription(), QStringLiteral("Navy"));
}

TEST_F(ColorPickerTest, CancelInTheColorDialogReturnsToTheOpenPopup)
{
    const std::vector<int> ages = Ages();
    const std::vector<ColorRef> colors = Colors();
    EXPECT_TRUE(ClickButton([&](CColorPopup &popup) {
        EXPECT_TRUE(ClickOtherAnswering(popup, std::nullopt));
        EXPECT_TRUE(popup.isVisible());
        EXPECT_EQ(Ages(), ages);
        EXPECT_EQ(Colors(), colors);
        QTest::mouseClick(CellNamed(popup, QStringLiteral("Teal")), Qt::LeftButton);
    }));
    EXPECT_EQ(m_button.Color(), RGBRef(0, 128, 128));
    EXPECT_EQ(CColorPalette::Age(6), 1);
}

TEST_F(ColorPickerTest, PressOutsideOrEscapeClosesThePopupUnchanged)
{
    const std::vector<int> ages = Ages();
    const std::vector<ColorRef> colors = Colors();
    const std::vector<std::function<void(CColorPopup &)>> closers{
        [](CColorPopup &popup) {
            QTest::mouseClick(popup.windowHandle(), Qt::LeftButton, {},
                              QPoint(popup.width() + 30, popup.height() + 30));
        },
        [](CColorPopup &popup) { QTest::keyClick(&popup, Qt::Key_Escape); },
    };
    for (const auto &close : closers) {
        EXPECT_TRUE(ClickButton(close));
        EXPECT_EQ(m_button.Color(), RGBRef(255, 255, 255));
        EXPECT_EQ(Ages(), ages);
        EXPECT_EQ(Colors(), colors);
    }
}

TEST_F(ColorPickerTest, ButtonShowsTheChosenCellsColor)
{
    EXPECT_EQ(m_button.Color(), RGBRef(255, 255, 255));
    const QPoint swatchMiddle(30, m_button.height() / 2);
    EXPECT_EQ(m_button.grab().toImage().pixelColor(swatchMiddle), QColor(Qt::white));

    ClickButton([](CColorPopup &popup) {
        const auto cells = popup.findChildren<CColorCell *>();
        ASSERT_EQ(cells.size(), CColorPalette::kCellCount);
        for (int i = 0; i < CColorPalette::kCellCount; ++i) {
            QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(cells[i]);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->role(), QAccessible::Button);
            EXPECT_EQ(cell->text(QAccessible::Name),
                      CColorPalette::ColorName(CColorPalette::Color(i)));
        }
        EXPECT_EQ(cells[0]->accessibleName(), QStringLiteral("Black"));
        EXPECT_EQ(cells[1]->accessibleName(), QStringLiteral("Dark red"));
        QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
        EXPECT_TRUE(popup.grab().save(QStringLiteral(SCREENSHOT_DIR "/colorpopup.png")));
        QTest::mouseClick(CellNamed(popup, QStringLiteral("Dark green")), Qt::LeftButton);
    });
    EXPECT_EQ(m_button.Color(), RGBRef(0, 128, 0));
    EXPECT_EQ(m_button.Popup().Selected(), 2);
    EXPECT_EQ(m_button.grab().toImage().pixelColor(swatchMiddle), QColor(0, 128, 0));
    EXPECT_TRUE(m_button.grab().save(QStringLiteral(SCREENSHOT_DIR "/colorbutton.png")));
}

TEST(ColorPopupPlacement, OpensBelowElseAboveAndStaysLeftOfTheScreensRightEdge)
{
    const QRect screen(0, 0, 800, 600);
    const QSize popup(90, 160);
    const struct
    {
        QRect button;
        QRect screen;
        QPoint expected;
    } cases[] = {
        {QRect(100, 100, 90, 28), screen, QPoint(100, 128)},   // below
        {QRect(100, 500, 90, 28), screen, QPoint(100, 340)},   // above: would reach 688
        {QRect(100, 412, 90, 28), screen, QPoint(100, 440)},   // ends exactly at the bottom
        {QRect(760, 100, 90, 28), screen, QPoint(710, 128)},   // moved left
        {QRect(750, 560, 40, 28), screen, QPoint(710, 400)},   // both
        {QRect(1950, 1000, 90, 28), QRect(1600, 0, 400, 1100), // a second screen
         QPoint(1910, 840)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CColorPopup::Placement(c.button, popup, c.screen), c.expected) << c.button.x();
}

TEST_F(ColorPickerTest, PopupAtTheScreensBottomRightCornerOpensAboveAndEndsAtTheEdge)
{
    const QRect screen = m_button.screen()->geometry();
    const std::vector<QPoint> places{QPoint(200, 200),
                                     QPoint(screen.right() - 40, screen.bottom() - 40)};
    for (const QPoint &place : places) {
        m_button.move(place);
        QApplication::processEvents();
        const QPoint buttonTop = m_button.mapToGlobal(QPoint(0, 0));
        ClickButton([&](CColorPopup &popup) {
            const QRect opened = popup.geometry();
            if (place.y() < 300) {
                EXPECT_EQ(opened.topLeft(), buttonTop + QPoint(0, m_button.height()));
            } else {
                EXPECT_EQ(opened.bottom() + 1, buttonTop.y());
                EXPECT_EQ(opened.right(), screen.right());
            }
            QTest::keyClick(&popup, Qt::Key_Escape);
        });
    }
}

} // namespace
