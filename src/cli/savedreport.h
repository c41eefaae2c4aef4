#pragma once

#include <cstdio>
#include <optional>

#include <QByteArray>
#include <QString>

// Reads a report saved by a run (--report) or exported as text; tells why on
// err when it cannot.
std::optional<QByteArray> ReadSavedReport(const QByteArray &path, std::FILE *err);
// Tells on err that the report at path cannot be read, and why.
void TellReportUnread(const QByteArray &path, const QString &why, std::FILE *err);
