#include "aboutdlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include "controls/staticlink.h"
#include "vantrelversion.h"

namespace {

constexpr int ICON_SIZE = 64;

// Sizes the program icon is drawn in, one file each, so that no SVG support
// is needed at run time.
constexpr int PROGRAM_ICON_SIZES[] = {16, 24, 32, 48, 64, 128, 256};

QIcon AboutIcon()
{
    QIcon icon;
    for (const int size : PROGRAM_ICON_SIZES)
        icon.addFile(QStringLiteral(":/icons/vantrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QLabel *CenteredLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QGroupBox *TextGroup(const QString &title, const QString &text, QWidget *parent)
{
    auto *group = new QGroupBox(title, parent);
    auto *label = new QLabel(text, group);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(label);
    return group;
}

} // namespace

CAboutDlg::CAboutDlg(int &mailVisited, int &homeVisited, QWidget *parent) : QDialog(parent)
{
    // The icons live in the desktop library's resources, which a static
    // library must register by name.
    Q_INIT_RESOURCE(icons);

    setWindowTitle(QStringLiteral("About Vantrel"));
    setWindowIcon(AboutIcon());

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setSpacing(10);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->addWidget(CreateHeader(), 0, Qt::AlignHCenter);
    layout->addWidget(CreateGroups());

    // The pointer width of this build: the program says what it truly is.
    layout->addWidget(
        CenteredLabel(QStringLiteral("A %1 bit application").arg(QSysInfo::WordSize), this));
    layout->addWidget(
        CenteredLabel(QStringLiteral("Written by the Vantrel team at Kestrine Software"), this));

    m_linkMail = new CStaticLink(QStringLiteral("support@vantrel.kestrine.example"), this);
    m_linkMail->SetVisitedFlag(&mailVisited);
    m_linkHome = new CStaticLink(QStringLiteral("https://vantrel.kestrine.example/"), this);
    m_linkHome->SetVisitedFlag(&homeVisited);
    auto *links = new QVBoxLayout;
    links->setSpacing(0);
    links->addWidget(m_linkMail, 0, Qt::AlignHCenter);
    links->addWidget(m_linkHome, 0, Qt::AlignHCenter);
    layout->addLayout(links);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addSpacing(4);
    layout->addWidget(buttons);

    // OK first, then the links, as the box is read.
    QWidget *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setFocus();
    setTabOrder(ok, m_linkMail);
    setTabOrder(m_linkMail, m_linkHome);
}

QWidget *CAboutDlg::CreateHeader()
{
    auto *header = new QWidget(this);
    auto *icon = new QLabel(header);
    icon->setAccessibleName(QStringLiteral("Vantrel"));
    icon->setPixmap(AboutIcon().pixmap(QSize(ICON_SIZE, ICON_SIZE), devicePixelRatioF()));
    icon->setFixedSize(ICON_SIZE, ICON_SIZE);

    auto *title = new QLabel(QStringLiteral("Vantrel Version " VANTREL_VERSION), header);
    title->setTextFormat(Qt::PlainText);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    title->setFont(titleFont);
    auto *copyright = new QLabel(QStringLiteral("Copyright (C) 2026 Kestrine Software"), header);
    copyright->setTextFormat(Qt::PlainText);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addStretch();
    texts->addWidget(title);
    texts->addWidget(copyright);
    texts->addStretch();

    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(icon);
    layout->addLayout(texts);
    return header;
}

QWidget *CAboutDlg::CreateGroups()
{
    auto *groups = new QWidget(this);
    auto *does = TextGroup(QStringLiteral("What Vantrel Does"),
                           QStringLiteral("Checks HTTP links\n in HTML documents"), groups);
    auto *legal = TextGroup(QStringLiteral("Legal"),
                            QStringLiteral("Vantrel is provided as is, without warranty of any "
                                           "kind. You use it at your own risk."),
                            groups);
    auto *layout = new QHBoxLayout(groups);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(does, 1);
    layout->addWidget(legal, 1);
    return groups;
}
