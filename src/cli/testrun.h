#pragma once

#include <cstdio>

struct CheckOptions;

// Runs a test over the files the options name (or, for --retest, over the
// links a saved report lists), printing the report as it grows. Returns the
// exit status: 0 nothing reported, 1 something reported, 2 bad input (a file
// that could not be scanned, a report or a setting that could not be
// written), 130 stopped by the user.
int RunTest(const CheckOptions &options, std::FILE *out, std::FILE *err);
