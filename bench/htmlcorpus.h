#pragma once

#include <cstddef>
#include <string>

// Writes a generated HTML file of about the given size with a realistic mix of
// markup, text and links (absolute and relative, both cases, long lines,
// images, tables), and returns its path. With sparseLinks, only one block in a
// thousand holds a link, so that the found links take little memory.
std::string WriteHtmlCorpus(const std::string &directory, std::size_t bytes, bool sparseLinks);

// Peak resident memory of this process so far, in kilobytes.
long PeakResidentKilobytes();
