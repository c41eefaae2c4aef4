#include "charrefs.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct NamedReference
{
    std::string_view name;
    std::string_view bytes;
};

constexpr NamedReference kNamed[] = {
#include "namedentities.inc"
};

// The longest name in the table, ";" included.
constexpr std::size_t kLongestName = 32;

// What the C1 control codes stand for when written as numbers (they name
// the characters of windows-1252 that pages meant).
constexpr std::uint16_t kC1Replacements[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsAsciiAlphanumeric(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const NamedReference *FindName(std::string_view name)
{
    const auto *found = std::lower_bound(
        std::begin(kNamed), std::end(kNamed), name,
        [](const NamedReference &entry, std::string_view key) { return entry.name < key; });
    return found != std::end(kNamed) && found->name == name ? found : nullptr;
}

void AppendUtf8(QByteArray &out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A numeric reference at text[at] ("&#"); returns the bytes it took, 0 when
// it is none (no digits).
std::size_t DecodeNumeric(std::string_view text, std::size_t at, QByteArray &out)
{
    std::size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const std::size_t digitsStart = i;
    std::uint32_t code = 0;
    for (; i < text.size(); ++i) {
        const int digit =
            hex ? HexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            break;
        // Saturates: any number past the last code point ends the same way.
        code = std::min<std::uint32_t>(code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit),
                                       0x110000);
    }
    if (i == digitsStart)
        return 0;
    if (i < text.size() && text[i] == ';')
        ++i;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    else if (code >= 0x80 && code <= 0x9F)
        code = kC1Replacements[code - 0x80];
    AppendUtf8(out, code);
    return i - at;
}

// A named reference at text[at] ("&"); returns the bytes it took, 0 when it
// stays as written.
std::size_t DecodeNamed(std::string_view text, std::size_t at, bool inAttribute, QByteArray &out)
{
    std::size_t end = at + 1;
    while (end < text.size() && end - at - 1 < kLongestName && IsAsciiAlphanumeric(text[end]))
        ++end;
    const std::string_view run = text.substr(at + 1, end - at - 1);
    if (run.empty())
        return 0;
    if (end < text.size() && text[end] == ';' && run.size() < kLongestName) {
        const std::string_view withSemicolon = text.substr(at + 1, run.size() + 1);
        if (const NamedReference *found = FindName(withSemicolon)) {
            out.append(found->bytes.data(), static_cast<qsizetype>(found->bytes.size()));
            return run.size() + 2;
        }
    }
    // The longest legacy name the run begins with.
    for (std::size_t length = run.size(); length > 0; --length) {
        const NamedReference *found = FindName(run.substr(0, length));
        if (found == nullptr)
            continue;
        const std::size_t after = at + 1 + length;
        if (inAttribute && after < text.size() &&
            (IsAsciiAlphanumeric(text[after]) || text[after] == '='))
            return 0;
        out.append(found->bytes.data(), static_cast<qsizetype>(found->bytes.size()));
        return length + 1;
    }
    return 0;
}

} // namespace

QByteArray DecodeCharacterReferences(std::string_view text, bool inAttribute)
{
    QByteArray out;
    std::size_t copied = 0;
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at = text.find('&', at + 1)) {
        QByteArray decoded;
        const std::size_t taken = at + 1 < text.size() && text[at + 1] == '#'
                                      ? DecodeNumeric(text, at, decoded)
                                      : DecodeNamed(text, at, inAttribute, decoded);
        if (taken == 0)
            continue;
        out.append(text.data() + copied, static_cast<qsizetype>(at - copied));
        out += decoded;
        copied = at + taken;
        at = copied - 1;
    }
    if (copied == 0)
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    out.append(text.data() + copied, static_cast<qsizetype>(text.size() - copied));
    return out;
}
