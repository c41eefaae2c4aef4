#include "linkopener.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// Editors that draw in a terminal: started from the desktop they need one.
bool RunsInTerminal(const QString &program)
{
    static const QStringList kTerminalEditors{
        QStringLiteral("vi"),     QStringLiteral("vim"),  QStringLiteral("nvim"),
        QStringLiteral("nano"),   QStringLiteral("pico"), QStringLiteral("emacs"),
        QStringLiteral("micro"),  QStringLiteral("joe"),  QStringLiteral("ne"),
        QStringLiteral("mcedit"), QStringLiteral("hx"),   QStringLiteral("kak"),
        QStringLiteral("helix"),  QStringLiteral("ed"),   QStringLiteral("jed")};
    return kTerminalEditors.contains(QFileInfo(program).fileName());
}

// The terminal to run an editor in: the user's choice ($TERMINAL), else the
// system's (Debian's x-terminal-emulator), else xterm.
QString TerminalProgram(const QProcessEnvironment &environment)
{
    const QString chosen = environment.value(QStringLiteral("TERMINAL"));
    if (!chosen.isEmpty())
        return chosen;
    const QString system = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
    return system.isEmpty() ? QStringLiteral("xterm") : system;
}

} // namespace

OpenCommand BrowserCommand(const QString &address)
{
    return {QStringLiteral("xdg-open"), {address}};
}

OpenCommand EditorCommand(const QString &path, int line, const QProcessEnvironment &environment)
{
    QString editor = environment.value(QStringLiteral("VISUAL")).trimmed();
    if (editor.isEmpty())
        editor = environment.value(QStringLiteral("EDITOR")).trimmed();
    QStringList words = QProcess::splitCommand(editor);
    if (words.isEmpty())
        return BrowserCommand(path);
    OpenCommand command{words.takeFirst(), words};
    if (line > 0)
        command.arguments.append(QStringLiteral("+%1").arg(line));
    command.arguments.append(path);
    // "emacs -nw" asks for the terminal itself; plain emacs opens a window
    // of its own on a desktop.
    const bool terminal = RunsInTerminal(command.program) &&
                          (QFileInfo(command.program).fileName() != QStringLiteral("emacs") ||
                           command.arguments.contains(QStringLiteral("-nw")));
    if (!terminal)
        return command;
    QStringList inTerminal{QStringLiteral("-e"), command.program};
    inTerminal += command.arguments;
    return {TerminalProgram(environment), inTerminal};
}

bool StartOpenCommand(const OpenCommand &command, QString *why)
{
    if (QStandardPaths::findExecutable(command.program).isEmpty() &&
        !QFileInfo(command.program).isExecutable()) {
        *why = QStringLiteral("%1 was not found.").arg(command.program);
        return false;
    }
    if (!QProcess::startDetached(command.program, command.arguments)) {
        *why = QStringLiteral("%1 could not be started.").arg(command.program);
        return false;
    }
    return true;
}
