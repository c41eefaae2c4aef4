#pragma once

#include <string>
#include <utility>
#include <vector>

// A slow, literal model of the link extractor, written step by step from the
// rules (a byte at a time through a two-character window; an upper-cased copy
// of each piece searched with find), used as an oracle for the fast one. The
// page's comments are taken out first: a link inside one is no link.
std::string ReferenceSplitCopy(const std::string &source);
std::vector<std::pair<std::string, std::string>> ReferenceLinks(const std::string &splitCopy);
