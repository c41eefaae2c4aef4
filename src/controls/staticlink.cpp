#include "staticlink.h"

#include <utility>

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimerEvent>

#include "controls/staticlinkaccessible.h"

namespace {

// An address written without a scheme but with an "@" is an e-mail address
// and opens a new mail; anything else must be a complete address.
QUrl UrlForAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (!trimmed.contains(QLatin1Char(':')) && trimmed.contains(QLatin1Char('@')))
        return QUrl(QStringLiteral("mailto:") + trimmed, QUrl::StrictMode);
    QUrl url(trimmed, QUrl::StrictMode);
    if (url.scheme().isEmpty())
        return {};
    return url;
}

} // namespace

CStaticLink::CStaticLink(const QString &text, QWidget *parent)
    : QLabel(text, parent),
      m_opener([](const QUrl &url) { return QDesktopServices::openUrl(url); }),
      m_beeper([] { QApplication::beep(); })
{
    QAccessible::installFactory(CStaticLinkAccessible::Factory);
    // An address is shown as written, never read as markup.
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    // Room for the focus frame around the text.
    setMargin(2);
    setAccessibleDescription(QStringLiteral("link"));
    UpdateLinkLook();
}

void CStaticLink::SetVisitedFlag(int *pnVisited)
{
    m_pnVisited = pnVisited != nullptr ? pnVisited : &m_nOwnVisited;
    UpdateLinkLook();
}

bool CStaticLink::IsVisited() const
{
    return *m_pnVisited == 1;
}

void CStaticLink::SetLink(const QString &link)
{
    m_strLink = link;
}

QUrl CStaticLink::Target() const
{
    return UrlForAddress(m_strLink.isEmpty() ? text() : m_strLink);
}

ColorRef CStaticLink::CurrentColor() const
{
    return IsVisited() ? m_colorVisited : m_colorUnvisited;
}

void CStaticLink::SetOpener(Opener opener)
{
    m_opener = std::move(opener);
}

void CStaticLink::SetBeeper(Beeper beeper)
{
    m_beeper = std::move(beeper);
}

void CStaticLink::OnClicked()
{
    if (m_timerJustClicked.isActive())
        return;
    m_timerJustClicked.start(JUST_CLICKED_MS, this);

    const QUrl target = Target();
    if (!target.isValid() || !m_opener(target)) {
        m_beeper();
        return;
    }
    if (IsVisited())
        return;
    *m_pnVisited = 1;
    UpdateLinkLook();
    QAccessible::State changed;
    changed.traversed = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void CStaticLink::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    m_bPressed = true;
    event->accept();
}

void CStaticLink::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_bPressed) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    m_bPressed = false;
    event->accept();
    // As with a button, letting go outside the link cancels the click.
    if (rect().contains(event->position().toPoint()))
        OnClicked();
}

void CStaticLink::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click: the release after it is a click
    // like any other, and the one-second pause stops it opening the link again.
    mousePressEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            OnClicked();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void CStaticLink::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(0, 0, -1, -1);
    option.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void CStaticLink::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerJustClicked.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    m_timerJustClicked.stop();
}

void CStaticLink::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    // A font set from outside keeps the underline that marks the link.
    if (event->type() == QEvent::FontChange && !font().underline())
        UpdateLinkLook();
}

void CStaticLink::UpdateLinkLook()
{
    QFont linkFont = font();
    if (!linkFont.underline()) {
        linkFont.setUnderline(true);
        setFont(linkFont);
    }
    QPalette linkPalette = palette();
    const QColor colour = ColorFromRef(CurrentColor());
    if (linkPalette.color(QPalette::Active, QPalette::WindowText) != colour) {
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            linkPalette.setColor(group, QPalette::WindowText, colour);
        setPalette(linkPalette);
    }
}
