#include "pagelines.h"

std::vector<PageLine> SplitPageLines(std::string_view text)
{
    std::vector<PageLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({text.substr(start), {}, start});
            break;
        }
        const std::size_t endingLength =
            text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        lines.push_back({text.substr(start, end - start), text.substr(end, endingLength), start});
        start = end + endingLength;
    }
    return lines;
}
