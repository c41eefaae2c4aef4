#include "linkextractor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "discovery/workfiles.h"
#include "platform/longpath.h"
#include "platform/piecereader.h"
#include "platform/uniquefd.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 16;

bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

bool MatchesUpper(std::string_view text, std::size_t at, std::string_view upperPattern)
{
    if (at + upperPattern.size() > text.size())
        return false;
    for (std::size_t i = 0; i < upperPattern.size(); ++i) {
        if (UpperAscii(text[at + i]) != upperPattern[i])
            return false;
    }
    return true;
}

// Position of the first "HTTP://" in the upper-cased piece, or, only when
// there is none, of the first "FTP://". Every candidate has its colon at a
// fixed offset, so scanning the colons in order finds the first occurrence.
std::size_t FindScheme(std::string_view piece)
{
    std::size_t ftp = std::string_view::npos;
    for (std::size_t colon = piece.find(':'); colon != std::string_view::npos;
         colon = piece.find(':', colon + 1)) {
        if (colon >= 4 && MatchesUpper(piece, colon - 4, "HTTP://"))
            return colon - 4;
        if (ftp == std::string_view::npos && colon >= 3 && MatchesUpper(piece, colon - 3, "FTP://"))
            ftp = colon - 3;
    }
    return ftp;
}

// Buffered output of the split copy; remembers a failed write.
class SplitCopyWriter
{
public:
    explicit SplitCopyWriter(std::FILE *file) : m_file(file) { m_buffer.reserve(kBlockSize); }
    ~SplitCopyWriter() { Flush(); }

    void Put(char c)
    {
        m_buffer.push_back(c);
        if (m_buffer.size() == kBlockSize)
            Flush();
    }
    void Flush()
    {
        if (!m_buffer.empty() &&
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
            m_failed = true;
        m_buffer.clear();
    }
    bool Failed() const { return m_failed; }

private:
    std::FILE *m_file;
    std::vector<char> m_buffer;
    bool m_failed = false;
};

// The first pass. The two-character window is kept as a pending first
// character: a window is complete when its second character arrives; after an
// anchor start the window is filled afresh from the next two characters; the
// character still pending at the end of the file is never written.
bool WriteSplitCopy(int source, std::FILE *splitCopy)
{
    SplitCopyWriter out(splitCopy);
    std::vector<char> block(kBlockSize);
    bool copying = false;
    bool pending = false;
    char first = 0;
    for (;;) {
        const ssize_t got = read(source, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (c == '\r' || c == '\n')
                continue;
            if (!pending) {
                first = c;
                pending = true;
            } else if (first == '<' && (c == 'A' || c == 'a')) {
                copying = true;
                out.Put('\r');
                out.Put('\n');
                pending = false;
            } else {
                if (copying)
                    out.Put(first);
                first = c;
            }
        }
    }
    out.Flush();
    return !out.Failed();
}

bool SelectLinks(int splitCopy, QList<QByteArray> &urls, QList<QByteArray> &anchors)
{
    PieceReader reader(splitCopy);
    std::string_view piece;
    while (reader.Next(piece, kSplitCopyPieceChars)) {
        if (std::optional<FoundLink> link = SelectLinkInPiece(piece)) {
            urls.append(std::move(link->url));
            anchors.append(std::move(link->anchor));
        }
    }
    return !reader.Failed();
}

} // namespace

std::optional<FoundLink> SelectLinkInPiece(std::string_view rawPiece)
{
    const std::string_view piece = AsCString(rawPiece);
    const std::size_t start = FindScheme(piece);
    if (start == std::string_view::npos || start == 0)
        return std::nullopt;
    const std::size_t quote = piece.find('"', start);
    if (quote == std::string_view::npos)
        return std::nullopt;
    const std::size_t tagEnd = piece.find('>', quote);
    if (tagEnd == std::string_view::npos)
        return std::nullopt;
    std::size_t textEnd = piece.find("</A", tagEnd);
    if (textEnd == std::string_view::npos)
        textEnd = piece.find("</a", tagEnd);
    if (textEnd == std::string_view::npos)
        textEnd = piece.find('<', tagEnd);
    if (textEnd == std::string_view::npos)
        return std::nullopt;

    const std::string_view url = TrimRight(piece.substr(start, quote - start));
    const std::string_view text = piece.substr(tagEnd + 1, textEnd - tagEnd - 1);
    FoundLink link{QByteArray(url.data(), url.size()), {}};
    if (text.empty()) {
        link.anchor = kSuppliedAnchorName;
    } else {
        QByteArray anchor(text.data(), text.size());
        anchor.replace('\t', ' ');
        const std::string_view trimmed = TrimLeft(TrimRight(std::string_view(anchor)));
        link.anchor = QByteArray(trimmed.data(), trimmed.size());
    }
    return link;
}

bool ExtractLinks(const QByteArray &sourcePath, const QByteArray &splitCopyPath,
                  QList<QByteArray> &urls, QList<QByteArray> &anchors)
{
    {
        // Non-blocking open so that a FIFO without a writer reads as empty
        // instead of holding the run.
        UniqueFd source(OpenLongPath(sourcePath, O_RDONLY | O_NONBLOCK));
        if (!source.IsValid())
            return false;
        fcntl(source.Get(), F_SETFL, fcntl(source.Get(), F_GETFL) & ~O_NONBLOCK);
        UniqueCFile splitCopy = CreateWorkFile(splitCopyPath);
        if (splitCopy == nullptr)
            return false;
        if (!WriteSplitCopy(source.Get(), splitCopy.get()) || std::fflush(splitCopy.get()) != 0)
            return false;
    }
    UniqueFd splitCopy = OpenWorkFileForReading(splitCopyPath);
    if (!splitCopy.IsValid())
        return false;
    return SelectLinks(splitCopy.Get(), urls, anchors);
}
