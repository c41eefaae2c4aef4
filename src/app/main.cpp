#include <string_view>

#include <QApplication>
#include <QCommandLineParser>

#include "app/appicons.h"
#include "app/vantrelapp.h"
#include "vantrelversion.h"

namespace {

void NameProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
}

void DescribeArguments(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Vantrel checks the links of web pages."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("report"),
                                 QStringLiteral("A saved report to open in the window."),
                                 QStringLiteral("[report]"));
}

// True when an option before "--" asks for the help text or the version.
// --help-all is left to the window system's start, which adds its own options.
bool AsksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "-?" || argument == "--help" || argument == "-v" ||
            argument == "--version")
            return true;
    }
    return false;
}

// Prints the help text or the version and ends the program. Only Qt Core is
// started, so this works on a terminal without any display.
[[noreturn]] void PrintTextAndExit(int argc, char **argv)
{
    QCoreApplication core(argc, argv);
    NameProgram();
    QCommandLineParser parser;
    DescribeArguments(parser);
    // Options meant for the window system (-platform, -style, ...) are unknown
    // here; they do not stand in the way of the text asked for.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    parser.showHelp();
}

} // namespace

int main(int argc, char **argv)
{
    if (AsksForTextOnly(argc, argv))
        PrintTextAndExit(argc, argv);

    QApplication application(argc, argv);
    NameProgram();
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setWindowIcon(ProgramIcon());

    QCommandLineParser parser;
    DescribeArguments(parser);
    parser.process(application);

    CVantrelApp app;
    if (!app.InitInstance(parser.positionalArguments()))
        return 1;
    const int status = QApplication::exec();
    app.ExitInstance();
    return status;
}
