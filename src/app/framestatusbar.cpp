#include "framestatusbar.h"

#include <QLabel>
#include <QProgressBar>
#include <QStyle>

namespace {

const QString kIdleText = QStringLiteral("For Help, press F1");

// The initial texts; each pane keeps at least the width of its own.
QString InitialText(int pane)
{
    switch (pane) {
    case 1:
        return QStringLiteral("Connection Status") + QString(41, QLatin1Char(' '));
    case 2:
        return QStringLiteral("HTTP Method Status") + QString(17, QLatin1Char(' '));
    default:
        return QStringLiteral(" ");
    }
}

QLabel *MakePane(const QString &initialText, QWidget *parent)
{
    auto *pane = new QLabel(initialText.trimmed(), parent);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(initialText) +
                          2 * pane->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing));
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return pane;
}

} // namespace

CFrameStatusBar::CFrameStatusBar(QWidget *parent) : QStatusBar(parent)
{
    for (int pane = 1; pane <= 2; ++pane) {
        m_panes[pane] = MakePane(InitialText(pane), this);
        addPermanentWidget(m_panes[pane]);
    }
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
        if (message.isEmpty())
            showMessage(kIdleText);
    });
    showMessage(kIdleText);
}

void CFrameStatusBar::SetPaneText(int pane, const QString &text)
{
    if (pane >= 1 && pane <= 2)
        m_panes[pane]->setText(text);
}

QString CFrameStatusBar::PaneText(int pane) const
{
    return pane >= 1 && pane <= 2 ? m_panes[pane]->text() : QString();
}

void CFrameStatusBar::ShowActivity(int position)
{
    m_activity->setValue(position > 0 ? 1 : 0);
}
