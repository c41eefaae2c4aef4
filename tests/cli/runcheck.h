#pragma once

#include <QByteArray>
#include <QList>

struct CheckResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the built vantrel-check with the arguments and the current environment,
// and, when given, that limit of open files.
CheckResult RunCheck(const QList<QByteArray> &arguments, const QByteArray &input = {},
                     long openFileLimit = 0);

// A report between its start and end lines.
QByteArray ReportBody(const QByteArray &report);
