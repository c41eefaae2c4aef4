#include "htmltokenizer.h"

#include <cstring>
#include <utility>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Elements whose content is text up to their own end tag.
std::string_view RawTextElement(std::string_view name)
{
    static constexpr std::string_view kRaw[] = {"script",  "style",    "xmp",   "iframe",
                                                "noembed", "noframes", "title", "textarea"};
    for (std::string_view raw : kRaw) {
        if (name == raw)
            return raw;
    }
    return {};
}

} // namespace

const HtmlAttribute *HtmlToken::Attribute(std::string_view attributeName) const
{
    for (const HtmlAttribute &attribute : attributes) {
        if (attribute.name == attributeName)
            return &attribute;
    }
    return nullptr;
}

const HtmlToken &HtmlTokenizer::Next()
{
    m_token.attributes.clear();
    m_token.name.clear();
    // The raw text of a script or style is no text of the page.
    if (m_plainText)
        m_pos = m_page.size();
    if (!m_rawTextEnd.empty())
        SkipRawText(std::exchange(m_rawTextEnd, std::string_view()));
    const std::size_t textStart = m_pos;
    std::size_t at = m_pos;
    for (;;) {
        const void *lt =
            at < m_page.size() ? std::memchr(m_page.data() + at, '<', m_page.size() - at) : nullptr;
        if (lt == nullptr) {
            m_pos = m_page.size();
            m_token.kind = HtmlToken::Kind::End;
            m_token.offset = m_pos;
            m_token.textBefore = m_page.substr(textStart);
            return m_token;
        }
        at = static_cast<std::size_t>(static_cast<const char *>(lt) - m_page.data());
        m_token.offset = at;
        m_token.textBefore = m_page.substr(textStart, at - textStart);
        const char next = at + 1 < m_page.size() ? m_page[at + 1] : '\0';
        if (next == '!') {
            m_token.kind = HtmlToken::Kind::Comment;
            if (m_page.substr(at + 2, 2) == "--")
                m_pos = HtmlCommentEnd(m_page, at + 4);
            else {
                // "<!DOCTYPE ...>", "<![CDATA[...]]>": a bogus comment up to ">".
                const std::size_t close = m_page.find('>', at + 2);
                m_pos = close == std::string_view::npos ? m_page.size() : close + 1;
            }
            return m_token;
        }
        if (next == '?' || (next == '/' && at + 2 < m_page.size() &&
                            !IsAsciiLetter(m_page[at + 2]) && m_page[at + 2] != '>')) {
            m_token.kind = HtmlToken::Kind::Comment;
            const std::size_t close = m_page.find('>', at + 2);
            m_pos = close == std::string_view::npos ? m_page.size() : close + 1;
            return m_token;
        }
        if (next == '/' && at + 2 < m_page.size() && m_page[at + 2] == '>') {
            // "</>" is dropped.
            m_token.kind = HtmlToken::Kind::Comment;
            m_pos = at + 3;
            return m_token;
        }
        const bool end = next == '/';
        if (IsAsciiLetter(end ? (at + 2 < m_page.size() ? m_page[at + 2] : '\0') : next)) {
            if (!ReadTag(at, end)) {
                m_pos = m_page.size();
                m_token.kind = HtmlToken::Kind::End;
                m_token.attributes.clear();
                m_token.textBefore = m_page.substr(textStart, at - textStart);
                return m_token;
            }
            if (!end) {
                if (m_token.name == "plaintext")
                    m_plainText = true;
                m_rawTextEnd = RawTextElement(m_token.name);
            }
            return m_token;
        }
        // A "<" that starts nothing is text.
        ++at;
    }
}

bool HtmlTokenizer::ReadTag(std::size_t at, bool end)
{
    std::size_t i = at + (end ? 2 : 1);
    while (i < m_page.size() && !IsSpace(m_page[i]) && m_page[i] != '/' && m_page[i] != '>')
        m_token.name += LowerAscii(m_page[i++]);
    m_token.kind = end ? HtmlToken::Kind::EndTag : HtmlToken::Kind::StartTag;
    // An end tag's attributes are read past, not kept.
    if (!ReadAttributes(i, !end))
        return false;
    m_pos = i;
    return true;
}

bool HtmlTokenizer::ReadAttributes(std::size_t &at, bool keep)
{
    const std::size_t size = m_page.size();
    std::size_t i = at;
    for (;;) {
        // Before an attribute name.
        while (i < size && (IsSpace(m_page[i]) || m_page[i] == '/'))
            ++i;
        if (i >= size)
            return false;
        if (m_page[i] == '>') {
            at = i + 1;
            return true;
        }
        // The name: a first "=" belongs to it.
        HtmlAttribute attribute;
        attribute.name += LowerAscii(m_page[i++]);
        while (i < size && !IsSpace(m_page[i]) && m_page[i] != '/' && m_page[i] != '>' &&
               m_page[i] != '=')
            attribute.name += LowerAscii(m_page[i++]);
        while (i < size && IsSpace(m_page[i]))
            ++i;
        if (i < size && m_page[i] == '=') {
            ++i;
            while (i < size && IsSpace(m_page[i]))
                ++i;
            if (i >= size)
                return false;
            const char quote = m_page[i];
            if (quote == '"' || quote == '\'') {
                const std::size_t close = m_page.find(quote, i + 1);
                if (close == std::string_view::npos)
                    return false;
                attribute.valueOffset = i + 1;
                attribute.value = m_page.substr(i + 1, close - i - 1);
                i = close + 1;
            } else if (quote != '>') {
                const std::size_t start = i;
                while (i < size && !IsSpace(m_page[i]) && m_page[i] != '>')
                    ++i;
                attribute.valueOffset = start;
                attribute.value = m_page.substr(start, i - start);
            } else {
                attribute.valueOffset = i;
            }
        } else {
            attribute.valueOffset = i;
        }
        if (keep && m_token.Attribute(attribute.name) == nullptr)
            m_token.attributes.push_back(std::move(attribute));
    }
}

void HtmlTokenizer::SkipRawText(std::string_view element)
{
    for (std::size_t at = m_page.find("</", m_pos); at != std::string_view::npos;
         at = m_page.find("</", at + 2)) {
        const std::size_t nameEnd = at + 2 + element.size();
        if (nameEnd > m_page.size())
            break;
        bool same = true;
        for (std::size_t k = 0; k < element.size() && same; ++k)
            same = LowerAscii(m_page[at + 2 + k]) == element[k];
        if (same && (nameEnd == m_page.size() || IsSpace(m_page[nameEnd]) ||
                     m_page[nameEnd] == '/' || m_page[nameEnd] == '>')) {
            m_pos = at;
            return;
        }
    }
    m_pos = m_page.size();
}

std::size_t HtmlCommentEnd(std::string_view page, std::size_t at)
{
    // "<!-->" and "<!--->" end at once.
    if (at < page.size() && page[at] == '>')
        return at + 1;
    if (at + 1 < page.size() && page[at] == '-' && page[at + 1] == '>')
        return at + 2;
    for (std::size_t dashes = page.find("--", at); dashes != std::string_view::npos;
         dashes = page.find("--", dashes + 1)) {
        std::size_t after = dashes + 2;
        if (after < page.size() && page[after] == '!')
            ++after;
        if (after < page.size() && page[after] == '>')
            return after + 1;
    }
    return page.size();
}
