#pragma once

#include <QString>

// The program that writes a file of results, named in it.
struct ToolInfo
{
    QString name;
    QString version;
};

// The running program, as it named itself to Qt.
ToolInfo RunningTool();
