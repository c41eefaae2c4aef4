#include "framestatusbar.h"

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStyle>

namespace {

const QString kIdleText = QStringLiteral("For Help, press F1");

// What the panes showed before any run: a pane holding it has nothing to tell.
bool IsPlaceholder(int pane, const QString &text)
{
    return text ==
           (pane == 1 ? QStringLiteral("Connection Status") : QStringLiteral("HTTP Method Status"));
}

QLabel *MakePane(const QString &name, QWidget *parent)
{
    auto *pane = new QLabel(parent);
    pane->setAccessibleName(name);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A pane gives way before the message does; its whole text stays in its
    // tool tip.
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("MMMM")));
    return pane;
}

} // namespace

CFrameStatusBar::CFrameStatusBar(QWidget *parent) : QStatusBar(parent)
{
    m_panes[1] = MakePane(QStringLiteral("Connection status"), this);
    m_panes[2] = MakePane(QStringLiteral("Request status"), this);
    for (int pane = 1; pane <= 2; ++pane)
        addPermanentWidget(m_panes[pane]);
    // Pane 3 holds the activity bar; it is one blank wide in text, so it is
    // given the width of a few characters to make the blinking visible. Until
    // the first run it stands empty, as the pane would.
    m_activity = new QProgressBar(this);
    m_activity->setRange(0, 1);
    m_activity->setValue(0);
    m_activity->setTextVisible(false);
    m_activity->setAccessibleName(QStringLiteral("Activity"));
    m_activity->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("MMMM")));
    m_activity->setFixedHeight(fontMetrics().height());
    addPermanentWidget(m_activity);

    // The message pane falls back to its idle text whenever a prompt ends.
    connect(this, &QStatusBar::messageChanged, this, [this](const QString &message) {
        if (message != m_longForm && message != m_shortForm) {
            m_longForm.clear();
            m_shortForm.clear();
            setToolTip({});
        }
        if (message.isEmpty())
            showMessage(kIdleText);
    });
    showMessage(kIdleText);
}

void CFrameStatusBar::SetPaneText(int pane, const QString &text)
{
    if (pane < 1 || pane > 2)
        return;
    const QString shown = IsPlaceholder(pane, text) ? QString() : text;
    m_panes[pane]->setText(shown);
    m_panes[pane]->setToolTip(shown);
}

QString CFrameStatusBar::PaneText(int pane) const
{
    return pane >= 1 && pane <= 2 ? m_panes[pane]->text() : QString();
}

void CFrameStatusBar::ShowActivity(int position)
{
    m_activity->setValue(position > 0 ? 1 : 0);
}

void CFrameStatusBar::ShowFittingMessage(const QString &longForm, const QString &shortForm)
{
    m_longForm = longForm;
    m_shortForm = shortForm;
    FitMessage();
}

void CFrameStatusBar::ClearFittingMessage()
{
    if (m_longForm.isEmpty())
        return;
    m_longForm.clear();
    m_shortForm.clear();
    setToolTip(QString());
    clearMessage();
}

void CFrameStatusBar::resizeEvent(QResizeEvent *event)
{
    LimitPaneWidths();
    QStatusBar::resizeEvent(event);
    FitMessage();
}

int CFrameStatusBar::MessageWidth() const
{
    // The panes take at most half the bar (LimitPaneWidths), so the message
    // has the rest less the activity bar and the gaps.
    int panes = m_activity->width();
    for (int pane = 1; pane <= 2; ++pane)
        panes += std::min(m_panes[pane]->sizeHint().width(), m_panes[pane]->maximumWidth());
    const int gaps = 8 * style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    return width() - panes - gaps;
}

void CFrameStatusBar::FitMessage()
{
    if (m_longForm.isEmpty())
        return;
    const bool fits = fontMetrics().horizontalAdvance(m_longForm) <= MessageWidth();
    setToolTip(fits ? QString() : m_longForm);
    const QString &shown = fits ? m_longForm : m_shortForm;
    if (currentMessage() != shown)
        showMessage(shown);
}

void CFrameStatusBar::LimitPaneWidths()
{
    for (int pane = 1; pane <= 2; ++pane)
        m_panes[pane]->setMaximumWidth(std::max(m_panes[pane]->minimumWidth(), width() / 4));
}
