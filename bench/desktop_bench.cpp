// The desktop program's side of bench/desktop_bench.py: opens the main window
// (offscreen) on the settings in $VANTREL_HOME, starts a run over the given
// page from Select File(s) as the user does, and measures how long the run
// takes and the longest time the window's event loop went without answering.
// Usage: desktop_bench PORT PAGE

#include <cstdio>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include "app/mainframe.h"
#include "engine/testengine.h"
#include "engine/ui/vantrelview.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop_bench PORT PAGE\n");
        return 2;
    }
    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    EngineOptions options;
    options.ports.http = argv[1];
    CMainFrame frame(
        *settings, [] {}, options);
    frame.show();
    CTestEngine &engine = frame.View()->Engine();
    const QString page = QString::fromLocal8Bit(argv[2]);

    // Answers Select File(s) with the page, as the user would.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &frame, [&answer, &page] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (dialog == nullptr)
            return;
        answer.stop();
        dialog->findChild<QLineEdit *>()->setText(page);
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
            if (button->text() == QStringLiteral("OK"))
                button->click();
        }
    });
    answer.start(10);

    // A tick every 10 ms: the longest gap between two is the longest time the
    // window took to answer.
    QElapsedTimer run;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    bool started = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &frame, [&] {
        if (!started && engine.IsRunning()) {
            started = true;
            run.start();
        }
        if (started)
            longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.start();
        if (started && !engine.IsRunning()) {
            std::printf("desktop_seconds=%.2f longest_gap_ms=%lld reported=%d\n",
                        static_cast<double>(run.elapsed()) / 1000.0,
                        static_cast<long long>(longestGap), engine.ReportedInRun());
            frame.View()->Engine().OnClearWindow();
            app.quit();
        }
    });
    sinceTick.start();
    tick.start(10);
    frame.Actions().selectFiles->trigger();
    return app.exec();
}
