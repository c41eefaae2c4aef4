#pragma once

#include <string_view>

// LF, CR LF and a lone CR each end a line: true when the byte at at ends one
// (of CR LF, the LF).
inline bool EndsLine(std::string_view text, std::size_t at)
{
    const char c = text[at];
    return c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'));
}
