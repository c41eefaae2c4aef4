#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What one invocation of vantrel-check asks for, parsed from its arguments.
struct CheckOptions
{
    enum class Command
    {
        Help,
        ListLinks
    };

    Command command = Command::Help;
    bool allFiles = false;
    bool recurse = false;
    QByteArray path;
};

struct ParsedCheckOptions
{
    CheckOptions options;
    // Empty when the arguments are usable; else what is wrong with them.
    QString error;
};

// Parses the arguments after the program name. Paths are kept as the bytes
// given, so that any file name can be named.
ParsedCheckOptions ParseCheckOptions(const QList<QByteArray> &arguments);

// The text of --help.
QString CheckUsageText();
