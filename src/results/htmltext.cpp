#include "htmltext.h"

namespace {

// Lower case as the terminal front end shows control bytes; upper case as
// links are percent-encoded.
constexpr char kShownDigits[] = "0123456789abcdef";
constexpr char kEncodedDigits[] = "0123456789ABCDEF";
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";

// One character of a field: its code point and the bytes that hold it.
struct Character
{
    char32_t code;
    QByteArrayView bytes;
};

// Calls visit for every character: UTF-8 sequences of a valid UTF-8 field,
// single bytes (Latin-1) of any other.
template <typename Visit> void ForEachCharacter(const QByteArray &field, Visit visit)
{
    const bool utf8 = field.isValidUtf8();
    for (qsizetype i = 0; i < field.size();) {
        const auto lead = static_cast<unsigned char>(field[i]);
        qsizetype length = 1;
        char32_t code = lead;
        if (utf8 && lead >= 0x80) {
            length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            code = lead & (0x7F >> length);
            for (qsizetype k = 1; k < length; ++k)
                code = (code << 6) | (static_cast<unsigned char>(field[i + k]) & 0x3F);
        }
        visit(Character{code, QByteArrayView(field.constData() + i, length)}, utf8);
        i += length;
    }
}

// Characters that no HTML page may hold, even as a reference.
bool IsControl(char32_t code)
{
    return (code < 0x20 && code != '\t') || (code >= 0x7F && code <= 0x9F);
}

bool IsNonCharacter(char32_t code)
{
    return (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
}

// Appends the entity of a markup character; false for any other character.
bool AppendEntity(QByteArray &page, char32_t code)
{
    switch (code) {
    case '&':
        page += "&amp;";
        return true;
    case '<':
        page += "&lt;";
        return true;
    case '>':
        page += "&gt;";
        return true;
    case '"':
        page += "&quot;";
        return true;
    default:
        return false;
    }
}

} // namespace

void AppendPageText(QByteArray &page, const QByteArray &bytes)
{
    ForEachCharacter(bytes, [&page](const Character &c, bool utf8) {
        if (IsControl(c.code)) {
            page += "\\x";
            page += kShownDigits[c.code >> 4];
            page += kShownDigits[c.code & 0xF];
        } else if (IsNonCharacter(c.code)) {
            page += kReplacementCharacter;
        } else if (AppendEntity(page, c.code)) {
            return;
        } else if (utf8 || c.code < 0x80) {
            page += c.bytes;
        } else {
            // A Latin-1 character in UTF-8.
            page += static_cast<char>(0xC0 | (c.code >> 6));
            page += static_cast<char>(0x80 | (c.code & 0x3F));
        }
    });
}

void AppendPageAddress(QByteArray &page, const QByteArray &bytes)
{
    ForEachCharacter(bytes, [&page](const Character &c, bool utf8) {
        if (IsControl(c.code) || IsNonCharacter(c.code) || (!utf8 && c.code >= 0x80)) {
            for (const char byte : c.bytes) {
                const auto value = static_cast<unsigned char>(byte);
                page += '%';
                page += kEncodedDigits[value >> 4];
                page += kEncodedDigits[value & 0xF];
            }
        } else if (!AppendEntity(page, c.code)) {
            page += c.bytes;
        }
    });
}
