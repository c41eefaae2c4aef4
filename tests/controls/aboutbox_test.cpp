#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "controls/aboutdlg.h"
#include "controls/staticlink.h"
#include "support/temphome.h"

namespace {

const QUrl HOME_URL(QStringLiteral("https://vantrel.kestrine.example/"));
const QUrl MAIL_URL(QStringLiteral("mailto:support@vantrel.kestrine.example"));
constexpr ColorRef BLUE = RGBRef(0, 0, 255);
constexpr ColorRef PURPLE = RGBRef(128, 0, 128);

// The application's two visited flags and what the links asked of the desktop.
class AboutBoxTest : public testing::Test
{
protected:
    // Makes both links of a box report to this fixture instead of the desktop.
    void Watch(CAboutDlg &dlg)
    {
        for (CStaticLink *link : {dlg.MailLink(), dlg.HomeLink()}) {
            link->SetOpener([this](const QUrl &url) {
                m_opened.push_back(url);
                return m_openSucceeds;
            });
            link->SetBeeper([this] { ++m_beeps; });
        }
    }

    static void ShowActive(CAboutDlg &dlg)
    {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }

    static QColor DrawnColour(const CStaticLink *link)
    {
        return link->palette().color(QPalette::Active, QPalette::WindowText);
    }

    static void SaveScreenshot(QWidget &widget, const QString &name)
    {
        QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
        EXPECT_TRUE(widget.grab().save(QStringLiteral(SCREENSHOT_DIR "/") + name));
    }

    TempHome m_home;
    int m_nMailVisited = 0;
    int m_nHomeVisited = 0;
    std::vector<QUrl> m_opened;
    bool m_openSucceeds = true;
    int m_beeps = 0;
};

TEST_F(AboutBoxTest, ShowsTheProgramItsTextsAndBothLinksUnvisited)
{
    CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
    ShowActive(dlg);

    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Vantrel"));
    QStringList texts;
    for (const QLabel *label : dlg.findChildren<QLabel *>())
        texts << label->text();
    const int bits = int(sizeof(void *)) * 8;
    for (const QString &expected :
         {QStringLiteral("Vantrel Version 2.0"),
          QStringLiteral("Copyright (C) 2026 Kestrine Software"),
          QStringLiteral("Checks HTTP links\n in HTML documents"),
          QStringLiteral("A %1 bit application").arg(bits),
          QStringLiteral("Written by the Vantrel team at Kestrine Software")})
        EXPECT_TRUE(texts.contains(expected)) << expected.toStdString();
    QStringList groups;
    for (const QGroupBox *group : dlg.findChildren<QGroupBox *>())
        groups << group->title();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("What Vantrel Does"), QStringLiteral("Legal")}));

    const QLabel *icon = nullptr;
    for (const QLabel *label : dlg.findChildren<QLabel *>())
        if (!label->pixmap().isNull())
            icon = label;
    ASSERT_NE(icon, nullptr) << "the program icon is missing from the resources";
    EXPECT_EQ(icon->pixmap().deviceIndependentSize().toSize(), QSize(64, 64));

    EXPECT_EQ(dlg.MailLink()->text(), QStringLiteral("support@vantrel.kestrine.example"));
    EXPECT_EQ(dlg.HomeLink()->text(), QStringLiteral("https://vantrel.kestrine.example/"));
    for (const CStaticLink *link : {dlg.MailLink(), dlg.HomeLink()}) {
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(DrawnColour(link), QColor(0x00, 0x00, 0xFF));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->accessibleDescription(), QStringLiteral("link"));
    }
    SaveScreenshot(dlg, QStringLiteral("aboutbox.png"));
}

// Each link opens its own target, turns purple, and stays purple in a later
// About box sharing the application's flags while the other link stays blue.
TEST_F(AboutBoxTest, AnOpenedLinkIsPurpleInThisAndEveryLaterBox)
{
    struct Row
    {
        const char *name;
        CStaticLink *(CAboutDlg::*link)() const;
        CStaticLink *(CAboutDlg::*other)() const;
        QUrl target;
        int *flag;
    };
    const Row rows[] = {
        {"home", &CAboutDlg::HomeLink, &CAboutDlg::MailLink, HOME_URL, &m_nHomeVisited},
        {"mail", &CAboutDlg::MailLink, &CAboutDlg::HomeLink, MAIL_URL, &m_nMailVisited},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_nMailVisited = m_nHomeVisited = 0;
        m_opened.clear();
        {
            CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
            Watch(dlg);
            ShowActive(dlg);
            CStaticLink *link = (dlg.*row.link)();
            QTest::mouseClick(link, Qt::LeftButton);
            EXPECT_EQ(m_opened, std::vector<QUrl>{row.target});
            EXPECT_EQ(*row.flag, 1);
            EXPECT_EQ(link->CurrentColor(), PURPLE);
            EXPECT_EQ(DrawnColour(link), QColor(0x80, 0x00, 0x80));
            EXPECT_EQ((dlg.*row.other)()->CurrentColor(), BLUE);
            EXPECT_TRUE(dlg.isVisible()) << "opening a link must not close the box";
        }
        CAboutDlg later(m_nMailVisited, m_nHomeVisited);
        EXPECT_EQ(DrawnColour((later.*row.link)()), QColor(0x80, 0x00, 0x80));
        EXPECT_EQ(DrawnColour((later.*row.other)()), QColor(0x00, 0x00, 0xFF));
    }
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(AboutBoxTest, ALinkTheDesktopCannotOpenBeepsAndStaysBlue)
{
    m_openSucceeds = false;
    CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
    Watch(dlg);
    ShowActive(dlg);

    QTest::mouseClick(dlg.HomeLink(), Qt::LeftButton);
    EXPECT_EQ(m_opened, std::vector<QUrl>{HOME_URL});
    EXPECT_EQ(m_beeps, 1);
    EXPECT_EQ(m_nHomeVisited, 0);
    EXPECT_EQ(DrawnColour(dlg.HomeLink()), QColor(0x00, 0x00, 0xFF));
}

// A double click is one open, yet the link can be opened again once the
// moment has passed; a press that ends outside the link opens nothing.
TEST_F(AboutBoxTest, ADoubleClickOpensOnceAndADragAwayNotAtAll)
{
    CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
    Watch(dlg);
    ShowActive(dlg);
    CStaticLink *home = dlg.HomeLink();

    QTest::mouseClick(home, Qt::LeftButton);
    QTest::mouseDClick(home, Qt::LeftButton);
    QTest::mouseRelease(home, Qt::LeftButton);
    EXPECT_EQ(m_opened.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::mouseClick(home, Qt::LeftButton);
            return m_opened.size() == 2;
        },
        10000));
    EXPECT_EQ(m_opened, (std::vector<QUrl>{HOME_URL, HOME_URL}));

    CStaticLink *mail = dlg.MailLink();
    QTest::mousePress(mail, Qt::LeftButton);
    QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(m_opened.size(), 2u);
    EXPECT_EQ(m_nMailVisited, 0);
}

// The links are reached with Tab from OK and opened with Enter or Space; the
// key opens the link and does not press the box's default button.
TEST_F(AboutBoxTest, KeyboardReachesAndOpensBothLinks)
{
    CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
    Watch(dlg);
    ShowActive(dlg);
    ASSERT_TRUE(qobject_cast<QPushButton *>(QApplication::focusWidget()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dlg.MailLink());
    QTest::keyClick(dlg.MailLink(), Qt::Key_Return);
    EXPECT_EQ(m_opened, std::vector<QUrl>{MAIL_URL});
    EXPECT_TRUE(dlg.isVisible());

    QTest::keyClick(dlg.MailLink(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dlg.HomeLink());
    QTest::keyClick(dlg.HomeLink(), Qt::Key_Space);
    EXPECT_EQ(m_opened, (std::vector<QUrl>{MAIL_URL, HOME_URL}));
    EXPECT_EQ(m_nMailVisited, 1);
    EXPECT_EQ(m_nHomeVisited, 1);
    // Both purple, the focus frame on the home page link.
    SaveScreenshot(dlg, QStringLiteral("aboutbox-visited.png"));
}

// Tools that drive the program from outside find the link by its text and
// follow it with its press action.
TEST_F(AboutBoxTest, AssistiveToolsSeeALinkTheyCanPress)
{
    CAboutDlg dlg(m_nMailVisited, m_nHomeVisited);
    Watch(dlg);
    ShowActive(dlg);

    QAccessibleInterface *link = QAccessible::queryAccessibleInterface(dlg.HomeLink());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("https://vantrel.kestrine.example/"));
    EXPECT_EQ(link->text(QAccessible::Description), QStringLiteral("link"));
    EXPECT_FALSE(link->state().traversed);

    QAccessibleActionInterface *actions = link->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(m_opened, std::vector<QUrl>{HOME_URL});
    EXPECT_TRUE(link->state().traversed);
}

} // namespace
