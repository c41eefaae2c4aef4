#include "desktoptestsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "settings/settingsstartup.h"

void WhenModal(std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QWidget *before = QApplication::activeModalWidget();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, before, action] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(modal);
    });
    poll->start();
}

bool WaitUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limit.count())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void Give(QAction *command)
{
    command->trigger();
    QApplication::sendPostedEvents();
}

QString ModalText(QWidget *modal)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        return box->text();
    QString text;
    for (const QLabel *label : modal->findChildren<QLabel *>())
        text += label->text() + QLatin1Char('\n');
    return text;
}

void Press(QWidget *modal, const QString &buttonText)
{
    for (QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
        if (button->text().remove(QLatin1Char('&')) == buttonText) {
            button->click();
            // What the press set off from the event loop runs too.
            QApplication::sendPostedEvents();
            return;
        }
    }
    ADD_FAILURE() << "no button " << buttonText.toStdString();
    modal->close();
}

DesktopHarness::DesktopHarness(const QByteArray &port, int jobs)
{
    settings = StartSettingsStore();
    if (jobs != 0)
        settings->WriteInt("Settings", "Jobs", jobs);
    EngineOptions options;
    options.ports.http = port;
    options.ports.ftp = port;
    options.dateTime = [] {
        return QByteArray(kDesktopTestDate);
    };
    frame = std::make_unique<CMainFrame>(
        *settings, [] {}, options);
    frame->show();
}

DesktopHarness::~DesktopHarness()
{
    frame.reset();
}

QByteArray DesktopHarness::Html(const QByteArray &name, const QByteArray &content)
{
    const QByteArray path = home.file(name);
    QDir().mkpath(QFileInfo(QString::fromLocal8Bit(path)).path());
    WriteFileBytes(path, content);
    return path;
}

int DesktopHarness::StoredInt(const char *section, const char *name, int fallback) const
{
    const std::unique_ptr<CRegSettings> reader = StartSettingsStore();
    return reader->ReadInt(section, name, fallback);
}

QByteArray DesktopHarness::StoredString(const char *section, const char *name) const
{
    const std::unique_ptr<CRegSettings> reader = StartSettingsStore();
    return reader->ReadString(section, name, "<none>");
}
