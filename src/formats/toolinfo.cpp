#include "toolinfo.h"

#include <QCoreApplication>

ToolInfo RunningTool()
{
    return {QCoreApplication::applicationName(), QCoreApplication::applicationVersion()};
}
