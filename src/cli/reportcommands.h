#pragma once

#include <cstdio>

struct CheckOptions;

// The commands on a saved report. Each returns the exit status.
int ExportSavedReport(const CheckOptions &options, std::FILE *err);
int RepairFromSavedReport(const CheckOptions &options, std::FILE *err);
