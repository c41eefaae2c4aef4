#include "anchortags.h"

#include <algorithm>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when page holds name at at, in any case, followed by what ends a tag
// name.
bool TagNameAt(std::string_view page, std::size_t at, std::string_view name)
{
    if (page.size() - at <= name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (Lower(page[at + i]) != name[i])
            return false;
    }
    const char after = page[at + name.size()];
    return IsBlank(after) || after == '/' || after == '>';
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(),
                                                     [](char a, char b) { return Lower(a) == b; });
}

std::size_t SkipBlanks(std::string_view page, std::size_t at)
{
    while (at < page.size() && IsBlank(page[at]))
        ++at;
    return at;
}

// Reads the attributes of a start tag from at, just after its name; false
// when the page ends before the tag does.
bool ReadAttributes(std::string_view page, std::size_t at, AnchorTag *tag)
{
    bool href = false;
    for (;;) {
        while (at < page.size() && (IsBlank(page[at]) || page[at] == '/'))
            ++at;
        if (at >= page.size())
            return false;
        if (page[at] == '>') {
            tag->end = at + 1;
            return href;
        }
        const std::size_t nameStart = at;
        ++at; // a name may begin with "="
        while (at < page.size() && !IsBlank(page[at]) && page[at] != '/' && page[at] != '>' &&
               page[at] != '=')
            ++at;
        const std::string_view name = page.substr(nameStart, at - nameStart);
        at = SkipBlanks(page, at);
        if (at >= page.size() || page[at] != '=')
            continue;
        at = SkipBlanks(page, at + 1);
        if (at >= page.size())
            return false;
        std::size_t valueStart = at;
        std::size_t valueEnd = 0;
        if (page[at] == '"' || page[at] == '\'') {
            valueEnd = page.find(page[at], at + 1);
            if (valueEnd == std::string_view::npos)
                return false;
            ++valueStart;
            at = valueEnd + 1;
        } else {
            while (at < page.size() && !IsBlank(page[at]) && page[at] != '>')
                ++at;
            valueEnd = at;
        }
        if (!href && EqualsIgnoringCase(name, "href")) {
            href = true;
            while (valueStart < valueEnd && IsBlank(page[valueStart]))
                ++valueStart;
            while (valueEnd > valueStart && IsBlank(page[valueEnd - 1]))
                --valueEnd;
            tag->valueStart = valueStart;
            tag->valueEnd = valueEnd;
        }
    }
}

// The next "</a" closing tag at or after from; npos when there is none.
std::size_t FindClosingAnchor(std::string_view page, std::size_t from)
{
    for (std::size_t at = page.find("</", from); at != std::string_view::npos;
         at = page.find("</", at + 2)) {
        if (TagNameAt(page, at + 2, "a"))
            return at;
    }
    return std::string_view::npos;
}

} // namespace

std::vector<AnchorTag> FindAnchorTags(std::string_view page)
{
    std::vector<AnchorTag> tags;
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        AnchorTag tag;
        tag.start = at;
        std::size_t afterName = 0;
        if (TagNameAt(page, at + 1, "a")) {
            afterName = at + 2;
        } else if (TagNameAt(page, at + 1, "area")) {
            afterName = at + 5;
            tag.area = true;
        } else {
            continue;
        }
        if (ReadAttributes(page, afterName, &tag)) {
            tags.push_back(tag);
            at = tag.end - 1;
        }
    }
    return tags;
}

std::size_t ElementEnd(std::string_view page, const std::vector<AnchorTag> &tags, std::size_t index)
{
    const AnchorTag &tag = tags[index];
    if (tag.area)
        return tag.end;
    std::size_t nextAnchor = std::string_view::npos;
    for (std::size_t next = index + 1; next < tags.size(); ++next) {
        if (!tags[next].area) {
            nextAnchor = tags[next].start;
            break;
        }
    }
    const std::size_t closing = FindClosingAnchor(page, tag.end);
    if (closing != std::string_view::npos && closing < nextAnchor) {
        const std::size_t close = page.find('>', closing);
        return close == std::string_view::npos ? tag.end : close + 1;
    }
    return nextAnchor != std::string_view::npos ? nextAnchor : tag.end;
}
