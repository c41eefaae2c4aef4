#include "referenceextractor.h"

#include <cctype>

namespace {

struct Source
{
    const std::string &bytes;
    std::size_t next = 0;

    // Reads one character, passing over CR and LF; at the end of the file the
    // character keeps its value and the read returns false.
    bool ReadChar(char &c)
    {
        while (next < bytes.size()) {
            const char b = bytes[next++];
            if (b != '\r' && b != '\n') {
                c = b;
                return true;
            }
        }
        return false;
    }
};

std::string Upper(std::string s)
{
    for (char &c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return s;
}

bool Space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string TrimRight(std::string s)
{
    while (!s.empty() && Space(s.back()))
        s.pop_back();
    return s;
}

std::string TrimLeft(std::string s)
{
    std::size_t i = 0;
    while (i < s.size() && Space(s[i]))
        ++i;
    return s.substr(i);
}

} // namespace

// The page as it shows: every comment taken out, from "<!--" to the first
// "-->" or "--!>" after it ("<!-->" and "<!--->" end at once), or to the end.
std::string WithoutComments(const std::string &source)
{
    std::string visible;
    std::size_t from = 0;
    for (std::size_t open = source.find("<!--"); open != std::string::npos;
         open = source.find("<!--", from)) {
        visible += source.substr(from, open - from);
        const std::size_t body = open + 4;
        std::size_t end = std::string::npos;
        if (source.compare(body, 1, ">") == 0)
            end = body + 1;
        else if (source.compare(body, 2, "->") == 0)
            end = body + 2;
        else {
            const std::size_t plain = source.find("-->", body);
            const std::size_t bang = source.find("--!>", body);
            if (plain != std::string::npos && (bang == std::string::npos || plain < bang))
                end = plain + 3;
            else if (bang != std::string::npos)
                end = bang + 4;
        }
        if (end == std::string::npos)
            return visible;
        from = end;
    }
    return visible + source.substr(from);
}

std::string ReferenceSplitCopy(const std::string &page)
{
    const std::string source = WithoutComments(page);
    Source in{source};
    std::string out;
    char window[2] = {0, 0};
    bool copying = false;
    in.ReadChar(window[0]);
    bool lastRead = in.ReadChar(window[1]);
    do {
        const bool anchorStart =
            window[0] == '<' && std::toupper(static_cast<unsigned char>(window[1])) == 'A';
        if (anchorStart) {
            copying = true;
            out += "\r\n";
            in.ReadChar(window[0]);
            lastRead = in.ReadChar(window[1]);
        } else {
            if (copying)
                out += window[0];
            window[0] = window[1];
            lastRead = in.ReadChar(window[1]);
        }
    } while (lastRead);
    return out;
}

std::vector<std::pair<std::string, std::string>> ReferenceLinks(const std::string &splitCopy)
{
    std::vector<std::pair<std::string, std::string>> links;
    std::size_t at = 0;
    while (at < splitCopy.size()) {
        // fgets into a 1000-byte buffer, then the piece as a C string.
        std::size_t end = at;
        while (end < splitCopy.size() && end - at < 999) {
            if (splitCopy[end++] == '\n')
                break;
        }
        std::string piece = splitCopy.substr(at, end - at);
        at = end;
        piece = piece.substr(0, piece.find('\0'));

        const std::string upper = Upper(piece);
        std::size_t p = upper.find("HTTP://");
        if (p == std::string::npos)
            p = upper.find("FTP://");
        if (p == std::string::npos || p == 0)
            continue;
        const std::size_t quote = piece.find('"', p);
        if (quote == std::string::npos)
            continue;
        const std::size_t gt = piece.find('>', quote);
        if (gt == std::string::npos)
            continue;
        std::size_t marker = piece.find("</A", gt);
        if (marker == std::string::npos)
            marker = piece.find("</a", gt);
        if (marker == std::string::npos)
            marker = piece.find("<", gt);
        if (marker == std::string::npos)
            continue;
        const std::string url = TrimRight(piece.substr(p, quote - p));
        std::string anchor = piece.substr(gt + 1, marker - gt - 1);
        if (anchor.empty()) {
            anchor = "Vantrel supplied this anchor name";
        } else {
            for (char &c : anchor) {
                if (c == '\t')
                    c = ' ';
            }
            anchor = TrimLeft(TrimRight(anchor));
        }
        links.emplace_back(url, anchor);
    }
    return links;
}
