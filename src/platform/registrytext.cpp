#include "registrytext.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
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

// Reads the two hex digits at pos; -1 when they are not there.
int HexByteAt(QByteArrayView text, qsizetype pos)
{
    if (pos + 1 >= text.size())
        return -1;
    const int high = HexValue(text[pos]);
    const int low = HexValue(text[pos + 1]);
    return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

void AppendHex(QByteArray &out, char c)
{
    const auto byte = static_cast<unsigned char>(c);
    out.append(kHexDigits[byte >> 4]);
    out.append(kHexDigits[byte & 0x0F]);
}

} // namespace

bool EqualsIgnoringAsciiCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

QList<QByteArray> SplitKeyPath(QByteArrayView path)
{
    QList<QByteArray> segments;
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf('\\', start);
        if (end < 0)
            end = path.size();
        if (end > start)
            segments.append(path.sliced(start, end - start).toByteArray());
        start = end + 1;
    }
    return segments;
}

QByteArray QuoteRegText(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append('"');
    for (const char c : text) {
        switch (c) {
        case '\\':
            out.append("\\\\");
            break;
        case '"':
            out.append("\\\"");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (IsControl(c)) {
                out.append("\\x");
                AppendHex(out, c);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
    return out;
}

std::optional<QByteArray> UnquoteRegText(QByteArrayView line, qsizetype &pos)
{
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    QByteArray text;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return text;
        }
        if (c != '\\') {
            text.append(c);
            continue;
        }
        if (++i >= line.size())
            return std::nullopt;
        switch (line[i]) {
        case '\\':
            text.append('\\');
            break;
        case '"':
            text.append('"');
            break;
        case 'n':
            text.append('\n');
            break;
        case 'r':
            text.append('\r');
            break;
        case 't':
            text.append('\t');
            break;
        case 'x': {
            const int byte = HexByteAt(line, i + 1);
            if (byte < 0)
                return std::nullopt;
            text.append(static_cast<char>(byte));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

QByteArray EncodeKeySegment(QByteArrayView segment)
{
    QByteArray out;
    out.reserve(segment.size());
    for (const char c : segment) {
        if (IsControl(c) || c == '%') {
            out.append('%');
            AppendHex(out, c);
        } else {
            out.append(c);
        }
    }
    return out;
}

std::optional<QByteArray> DecodeKeySegment(QByteArrayView segment)
{
    QByteArray out;
    out.reserve(segment.size());
    for (qsizetype i = 0; i < segment.size(); ++i) {
        if (segment[i] != '%') {
            out.append(segment[i]);
            continue;
        }
        const int byte = HexByteAt(segment, i + 1);
        if (byte < 0)
            return std::nullopt;
        out.append(static_cast<char>(byte));
        i += 2;
    }
    return out;
}
