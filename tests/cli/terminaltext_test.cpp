#include "cli/terminaltext.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace {

// Sets the character type of the locale for the life of the object.
class CharacterLocale
{
public:
    explicit CharacterLocale(const char *name) : m_previous(std::setlocale(LC_CTYPE, nullptr))
    {
        m_active = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CharacterLocale() { std::setlocale(LC_CTYPE, m_previous.c_str()); }

    bool IsActive() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

struct Case
{
    const char *what;
    QByteArray bytes;
    QByteArray utf8Locale;
    QByteArray cLocale;
};

TEST(TerminalTextTest, ControlBytesAreShownVisiblyAndTextIsKept)
{
    const std::vector<Case> cases = {
        {"plain text", "http://a/b?c=d#e f", "http://a/b?c=d#e f", "http://a/b?c=d#e f"},
        {"a window title", "\x1b]0;t\x07", "\\x1b]0;t\\x07", "\\x1b]0;t\\x07"},
        {"delete and nul", QByteArray("a\x7f\0b", 4), "a\\x7f\\x00b", "a\\x7f\\x00b"},
        {"line layout", "a\tb\r\nc\nd", "a\tb\r\nc\nd", "a\tb\r\nc\nd"},
        {"a lone carriage return", "over\rwrite", "over\\x0dwrite", "over\\x0dwrite"},
        {"a letter in UTF-8", "caf\xc3\xa9", "caf\xc3\xa9", "caf\\xc3\\xa9"},
        {"four bytes in UTF-8", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", "\\xf0\\x9f\\x98\\x80"},
        {"an 8-bit control sequence start",
         "\x9b"
         "2J",
         "\\x9b2J", "\\x9b2J"},
        {"the same as a UTF-8 character",
         "\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J", "\\xc2\\x9b2J"},
        {"a Latin-1 letter", "caf\xe9!", "caf\\xe9!", "caf\\xe9!"},
        {"an overlong slash", "\xc0\xaf", "\\xc0\\xaf", "\\xc0\\xaf"},
        {"a surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80", "\\xed\\xa0\\x80"},
        {"a cut character", "\xe2\x82", "\\xe2\\x82", "\\xe2\\x82"},
    };
    {
        CharacterLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.IsActive());
        for (const Case &c : cases)
            EXPECT_EQ(ShowControlBytes(c.bytes, true), c.utf8Locale) << c.what;
    }
    {
        CharacterLocale ascii("C");
        for (const Case &c : cases)
            EXPECT_EQ(ShowControlBytes(c.bytes, true), c.cLocale) << c.what;
    }
    EXPECT_EQ(ShowControlBytes("a\tb\r\nc", false), QByteArray("a\\x09b\\x0d\\x0ac"))
        << "fields keep no layout of their own";
}

} // namespace
