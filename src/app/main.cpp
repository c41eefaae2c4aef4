#include <QApplication>
#include <QCommandLineParser>

#include "app/appicons.h"
#include "app/vantrelapp.h"

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setWindowIcon(ProgramIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vantrel checks the links of web pages."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("report"),
                                 QStringLiteral("A saved report to open in the window."),
                                 QStringLiteral("[report]"));
    parser.process(application);

    CVantrelApp app;
    if (!app.InitInstance(parser.positionalArguments()))
        return 1;
    const int status = QApplication::exec();
    app.ExitInstance();
    return status;
}
