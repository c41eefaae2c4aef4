#pragma once

#include <cstdio>

struct CheckOptions;

// Scans the files the options name and prints one line per link found:
// path TAB url TAB anchor text TAB line TAB kind; in today's web mode the url
// is the link as written and a last field gives the address it is tested at.
// Returns the exit status.
int ListLinks(const CheckOptions &options, std::FILE *out, std::FILE *err);
