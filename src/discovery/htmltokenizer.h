#pragma once

#include <string>
#include <string_view>
#include <vector>

// One attribute of a tag: its name in lower case, its value as written
// (character references not decoded yet) and where the value begins in the
// page.
struct HtmlAttribute
{
    std::string name;
    std::string_view value;
    std::size_t valueOffset = 0;
};

// A token of an HTML page as a browser's tokenizer cuts it: tags with their
// attributes, and the comments between them. Text is not a token of its own:
// the text that stands before each token comes with it.
struct HtmlToken
{
    enum class Kind
    {
        StartTag,
        EndTag,
        Comment,
        End
    };
    Kind kind = Kind::End;
    // Lower case; empty for a comment.
    std::string name;
    // Of a start tag; the first of attributes of one name wins, as in a browser.
    std::vector<HtmlAttribute> attributes;
    // Where the token begins ("<").
    std::size_t offset = 0;
    // The page's text from the end of the token before up to this one.
    std::string_view textBefore;

    const HtmlAttribute *Attribute(std::string_view attributeName) const;
};

// Where a comment ends whose "<!--" ends just before at: after "-->" or
// "--!>" (at once for "<!-->" and "<!--->"), or the page's end.
std::size_t HtmlCommentEnd(std::string_view page, std::size_t at);

// Cuts a page into tokens following the tokenizer states of HTML5 that
// decide where tags, attributes and comments begin and end: every quote
// style and unquoted values, comments (also "<!-->" and an unclosed one,
// which runs to the end), bogus comments ("<!DOCTYPE ...>", "<?...>"), and the
// raw text of script, style, xmp, iframe, noembed, noframes, title and
// textarea, which holds no tags. A tag cut off by the end of the page is no
// tag. The page must outlive the tokenizer and its tokens.
class HtmlTokenizer
{
public:
    explicit HtmlTokenizer(std::string_view page) : m_page(page) {}

    // The next token; Kind::End (with the rest of the text) at the end.
    const HtmlToken &Next();

private:
    // Each returns false when the page ends inside the token.
    bool ReadTag(std::size_t at, bool end);
    bool ReadAttributes(std::size_t &at, bool keep);
    void SkipRawText(std::string_view element);

    std::string_view m_page;
    std::size_t m_pos = 0;
    HtmlToken m_token;
    // The end tag that ends the raw text the next token starts in.
    std::string_view m_rawTextEnd;
    bool m_plainText = false;
};
