#pragma once

#include <cstdio>

struct CheckOptions;

// Scans the files the options name and prints one line per link found:
// path TAB url TAB anchor text. Returns the exit status.
int ListLinks(const CheckOptions &options, std::FILE *out, std::FILE *err);
