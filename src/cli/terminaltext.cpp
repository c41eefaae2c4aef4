#include "terminaltext.h"

#include <algorithm>
#include <cstring>
#include <langinfo.h>
#include <unistd.h>

namespace {

bool LocaleIsUtf8()
{
    const char *codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 character at the start of the bytes, or
// 0 when they begin with no such character. Overlong forms and surrogates are
// not well-formed.
int Utf8Length(const unsigned char *bytes, qsizetype available)
{
    const unsigned char lead = bytes[0];
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (!IsContinuation(bytes[i]))
            return 0;
    }
    return length;
}

void AppendEscaped(QByteArray &out, unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

} // namespace

bool IsTerminal(std::FILE *stream)
{
    return isatty(fileno(stream)) != 0;
}

QByteArray ShowControlBytes(const QByteArray &bytes, bool keepLayout)
{
    const bool utf8 = LocaleIsUtf8();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QByteArray out;
    out.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const unsigned char byte = data[i];
        if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (keepLayout && (byte == '\t' || byte == '\n' ||
                           (byte == '\r' && i + 1 < size && data[i + 1] == '\n'))) {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        const int length = utf8 && byte >= 0x80 ? Utf8Length(data + i, size - i) : 0;
        // A two-byte character from U+0080 to U+009F is a C1 control.
        const bool control = length == 2 && byte == 0xC2 && data[i + 1] <= 0x9F;
        if (length > 0 && !control) {
            out.append(bytes.constData() + i, length);
            i += length;
            continue;
        }
        for (int k = 0; k < std::max(length, 1); ++k)
            AppendEscaped(out, data[i + k]);
        i += std::max(length, 1);
    }
    return out;
}

QByteArray ForStream(std::FILE *stream, const QByteArray &bytes, bool keepLayout)
{
    return IsTerminal(stream) ? ShowControlBytes(bytes, keepLayout) : bytes;
}
