#include "desktopengineui.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QWidget>

void DesktopEngineUi::AppendText(const QByteArray &text)
{
    if (auto *results = m_window->findChild<QPlainTextEdit *>()) {
        results->moveCursor(QTextCursor::End);
        results->insertPlainText(QString::fromUtf8(text));
    }
}

void DesktopEngineUi::SetStatusPane(int, const QString &) {}

void DesktopEngineUi::MessageBeep(Beep)
{
    QApplication::beep();
}

void DesktopEngineUi::MessageBox(const QString &text, Icon icon)
{
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    QStringLiteral("Vantrel"), text, QMessageBox::Ok, m_window);
    box.exec();
}

bool DesktopEngineUi::AskYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vantrel"), text,
                    QMessageBox::Yes | QMessageBox::No, m_window);
    return box.exec() == QMessageBox::Yes;
}

void DesktopEngineUi::ClearText()
{
    if (auto *results = m_window->findChild<QPlainTextEdit *>())
        results->clear();
}

void DesktopEngineUi::ShowProgress(const ProgressModel *) {}

void DesktopEngineUi::ShowActivity(int) {}

void DesktopEngineUi::SetWaitCursor(bool waiting)
{
    if (waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void DesktopEngineUi::StateChanged() {}
