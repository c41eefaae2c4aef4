#include "checkoptions.h"

namespace {

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

} // namespace

ParsedCheckOptions ParseCheckOptions(const QList<QByteArray> &arguments)
{
    ParsedCheckOptions parsed;
    CheckOptions &options = parsed.options;
    QList<QByteArray> positional;
    bool listLinks = false;
    bool help = false;
    bool optionsEnded = false;

    for (const QByteArray &argument : arguments) {
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            positional.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--list-links") {
            listLinks = true;
        } else if (argument == "--all-files") {
            options.allFiles = true;
        } else if (argument == "--recurse") {
            options.recurse = true;
        } else {
            parsed.error = QStringLiteral("unknown option %1").arg(Text(argument));
            return parsed;
        }
    }

    if (help) {
        options.command = CheckOptions::Command::Help;
        return parsed;
    }
    if (positional.size() != 1) {
        parsed.error = positional.isEmpty() ? QStringLiteral("no file named")
                                            : QStringLiteral("more than one file named");
        return parsed;
    }
    options.path = positional.first();
    if (listLinks)
        options.command = CheckOptions::Command::ListLinks;
    else
        parsed.error = QStringLiteral("no command given (try --list-links)");
    return parsed;
}

QString CheckUsageText()
{
    return QStringLiteral(
        "Usage: vantrel-check --list-links [--all-files] [--recurse] PATH\n"
        "\n"
        "Finds the absolute http:// and ftp:// links in the anchors of HTML files.\n"
        "\n"
        "PATH names an existing file. With --all-files it stands for its directory.\n"
        "\n"
        "Options:\n"
        "  --list-links   Print every link found, one line each: the file's path, a TAB,\n"
        "                 the URL, a TAB and the anchor text, as the bytes found.\n"
        "  --all-files    Take every HTML file of PATH's directory instead of PATH alone\n"
        "                 (a file whose path holds .htm or .shtm, in any case).\n"
        "  --recurse      With --all-files, also every HTML file of all sub-directories,\n"
        "                 depth first (directories whose name begins with a dot and\n"
        "                 symbolic links to directories are not entered). Without\n"
        "                 --all-files no file is taken.\n"
        "  -h, --help     Show this text.\n"
        "\n"
        "Files are read from the system directory $VANTREL_HOME (default\n"
        "$XDG_DATA_HOME/vantrel, else ~/.local/share/vantrel); the split copy of the last\n"
        "file scanned is left there in urltmp~2.\n"
        "\n"
        "Exit status: 0 on success, 2 for bad usage or a PATH that cannot be opened.\n");
}
