#pragma once

#include <cstdio>

#include <QByteArray>

// Writes the report of a run to the file named by --report, replacing it at
// once. On any failure (a full disk, a file that may not be replaced) the old
// file stays as it was, a message saying why goes to err, and the result is
// false.
bool SaveReportFile(const QByteArray &path, const QByteArray &report, std::FILE *err);
