#include <cstdio>

#include <QCoreApplication>

#include "cli/checkoptions.h"
#include "cli/listlinks.h"
#include "cli/reportcommands.h"
#include "cli/testrun.h"
#include "vantrelversion.h"

int main(int argc, char **argv)
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    // Qt's own event loop instead of GLib's: a run with many probes in flight
    // adds and removes socket notifiers all the time, and GLib's loop wakes
    // itself up through a system call for every one of them.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-check"));
    // Named in the machine-readable formats the program writes.
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));

    const ParsedCheckOptions parsed = ParseCheckOptions(arguments);
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "vantrel-check: %s\nTry 'vantrel-check --help'.\n",
                     parsed.error.toLocal8Bit().constData());
        return 2;
    }
    switch (parsed.options.command) {
    case CheckOptions::Command::Help:
        std::fputs(CheckUsageText().toLocal8Bit().constData(), stdout);
        return 0;
    case CheckOptions::Command::Version:
        std::fputs("vantrel-check " VANTREL_VERSION "\n", stdout);
        return 0;
    case CheckOptions::Command::ListLinks:
        return ListLinks(parsed.options, stdout, stderr);
    case CheckOptions::Command::Run:
    case CheckOptions::Command::Retest:
        return RunTest(parsed.options, stdout, stderr);
    case CheckOptions::Command::Export:
        return ExportSavedReport(parsed.options, stderr);
    case CheckOptions::Command::Repair:
        return RepairFromSavedReport(parsed.options, stderr);
    }
    return 2;
}
