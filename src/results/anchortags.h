#pragma once

#include <string_view>
#include <vector>

// An anchor or image-map area start tag of a page, and the value of its href
// attribute: the link that a report names. Places are offsets in the page.
struct AnchorTag
{
    std::size_t start = 0; // its "<"
    std::size_t end = 0;   // just after its ">"
    // The href value, without the blanks a browser ignores around it.
    std::size_t valueStart = 0;
    std::size_t valueEnd = 0;
    bool area = false;

    std::string_view Value(std::string_view page) const
    {
        return page.substr(valueStart, valueEnd - valueStart);
    }
};

// Every "<a" and "<area" start tag with an href, in the order of the page,
// wherever it stands (also inside comments: a link there is one already
// disabled). Attribute values are read in double quotes, single quotes or
// none, as a browser reads them.
std::vector<AnchorTag> FindAnchorTags(std::string_view page);

// Where the element of tags[index] ends: just after the anchor's closing tag
// "</a>", or where the next anchor begins when that comes first (a browser
// ends the anchor there). An area, or an anchor that nothing ends, is its
// start tag alone.
std::size_t ElementEnd(std::string_view page, const std::vector<AnchorTag> &tags,
                       std::size_t index);
