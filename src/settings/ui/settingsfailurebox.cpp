#include "settingsfailurebox.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "settings/regsettings.h"

CSettingsFailureBox::CSettingsFailureBox(CRegSettings &settings, QWidget *window)
    : QObject(window), m_settings(settings), m_window(window)
{
    m_settings.SetWriteListener(this);
}

CSettingsFailureBox::~CSettingsFailureBox()
{
    if (m_settings.WriteListener() == this)
        m_settings.SetWriteListener(nullptr);
}

void CSettingsFailureBox::SettingNotStored(const SettingsWriteFailure &failure)
{
    m_lines.append(SettingsWriteFailureText(failure));
    // An open box shows what came meanwhile in the next box once it closes.
    if (m_bQueued || m_bShowing)
        return;
    m_bQueued = true;
    QTimer::singleShot(0, this, [this] { ShowWaitingLines(); });
}

void CSettingsFailureBox::ShowWaitingLines()
{
    m_bQueued = false;
    m_bShowing = true;
    const QPointer<CSettingsFailureBox> self(this);
    while (!m_lines.isEmpty()) {
        const QString text = m_lines.join(QLatin1Char('\n'));
        m_lines.clear();
        // On the heap and watched: the window may close while the box is open.
        QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Vantrel"),
                                                    text, QMessageBox::Ok, m_window);
        box->exec();
        delete box;
        if (!self)
            return;
    }
    m_bShowing = false;
}
