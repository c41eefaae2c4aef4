#pragma once

#include <string_view>
#include <vector>

// One line of a text held in memory: its text and its own ending (LF, CR LF,
// a lone CR, or none at the end of the text).
struct PageLine
{
    std::string_view text;
    std::string_view ending;
    // Where the line's text begins in the whole text.
    std::size_t start = 0;
};

std::vector<PageLine> SplitPageLines(std::string_view text);
