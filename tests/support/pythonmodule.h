#pragma once

#include <QString>

// A Python 3 that can import the module: "python3" on the PATH, else the
// system's; empty when neither can.
QString PythonWithModule(const QString &module);
