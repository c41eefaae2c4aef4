#pragma once

#include <cstdio>
#include <optional>

#include <QByteArray>

// Reads a report saved by a run (--report) or exported as text; tells why on
// err when it cannot.
std::optional<QByteArray> ReadSavedReport(const QByteArray &path, std::FILE *err);
