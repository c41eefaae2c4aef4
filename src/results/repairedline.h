#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "results/pageedit.h"

// Finds the changes that repairs made to one line of a page called fileName
// (positions in the line of the original): a URL's place given to the file's
// name with the URL kept in a comment at the line's end, a link's element
// made a comment, or the whole line made one by an older repair. False when
// repaired is not a repair of original.
bool MatchRepairedLine(std::string_view original, std::string_view repaired,
                       std::string_view fileName, std::vector<PageEdit> *edits);

// The changes that make page out of original when page is original or a
// repair of it: the same lines with the same endings, each line the
// original's or a repair of it. Nothing when it is not.
std::optional<PageEdits> MatchRepairedPage(std::string_view original, std::string_view page,
                                           std::string_view fileName);
