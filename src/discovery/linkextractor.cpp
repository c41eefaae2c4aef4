#include "linkextractor.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "discovery/pagelinks.h"
#include "discovery/workfiles.h"
#include "platform/longpath.h"
#include "platform/piecereader.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

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

// Position of the first "HTTP://" in the upper-cased piece (by today's web
// rule, of the earlier of "HTTP://" and "HTTPS://"), or, only when there is
// none, of the first "FTP://". Every candidate has its colon at a fixed
// offset, so scanning the colons in order finds the first occurrence.
std::size_t FindScheme(std::string_view piece, LinkRule rule)
{
    std::size_t ftp = std::string_view::npos;
    for (std::size_t colon = piece.find(':'); colon != std::string_view::npos;
         colon = piece.find(':', colon + 1)) {
        if (colon >= 4 && MatchesUpper(piece, colon - 4, "HTTP://"))
            return colon - 4;
        if (rule == LinkRule::TodaysWeb && colon >= 5 && MatchesUpper(piece, colon - 5, "HTTPS://"))
            return colon - 5;
        // A file of the site, as a today's web report names it.
        if (rule == LinkRule::TodaysWeb && colon >= 4 && MatchesUpper(piece, colon - 4, "FILE:/"))
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
    explicit SplitCopyWriter(int fd) : m_fd(fd), m_buffer(kBlockSize) {}
    // Keeps the split copy in memory instead of writing it to a file.
    explicit SplitCopyWriter(QByteArray &memory) : m_memory(&memory), m_buffer(kBlockSize) {}

    void Put(char c)
    {
        if (m_used == m_buffer.size())
            Flush();
        m_buffer[m_used++] = c;
    }
    void Put(const char *bytes, std::size_t count)
    {
        if (m_used + count > m_buffer.size())
            Flush();
        if (count > m_buffer.size()) {
            Write(bytes, count);
            return;
        }
        std::memcpy(m_buffer.data() + m_used, bytes, count);
        m_used += count;
    }
    void Flush()
    {
        Write(m_buffer.data(), m_used);
        m_used = 0;
    }
    bool Failed() const { return m_failed; }
    int Error() const { return m_error; }

private:
    void Write(const char *bytes, std::size_t count)
    {
        if (m_memory != nullptr) {
            m_memory->append(bytes, static_cast<qsizetype>(count));
            return;
        }
        if (!m_failed && !WriteAll(m_fd, bytes, count)) {
            m_failed = true;
            m_error = errno;
        }
    }

    int m_fd = -1;
    QByteArray *m_memory = nullptr;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
    int m_error = 0;
};

// The first pass. The two-character window is kept as a pending first
// character: a window is complete when its second character arrives; after an
// anchor start the window is filled afresh from the next two characters; the
// character still pending at the end of the file is never written.
class SplitCopyPass
{
public:
    explicit SplitCopyPass(SplitCopyWriter &out) : m_out(out) {}

    // The bytes of the page that it shows: HTML comments are passed over, so
    // that a link inside one (a link that a repair disabled, say) is no link.
    void Feed(const char *bytes, std::size_t count)
    {
        std::size_t i = 0;
        while (i < count) {
            if (m_comment == CommentState::Text) {
                const void *lt = std::memchr(bytes + i, '<', count - i);
                const std::size_t end =
                    lt == nullptr ? count
                                  : static_cast<std::size_t>(static_cast<const char *>(lt) - bytes);
                FeedVisible(bytes + i, end - i);
                if (end == count)
                    return;
                m_comment = CommentState::Open;
                m_held = 1;
                i = end + 1;
                continue;
            }
            StepComment(bytes[i++]);
        }
    }
    // False when the split copy could not be written; errno tells why.
    bool Finish()
    {
        // "<", "<!" or "<!-" at the end of the page start no comment.
        if (m_comment == CommentState::Open)
            FeedVisible("<!-", m_held);
        m_out.Flush();
        errno = m_out.Error();
        return !m_out.Failed();
    }

private:
    enum class CommentState
    {
        Text,
        // "<", "<!" or "<!-" held back (m_held bytes of "<!-").
        Open,
        // Just after "<!--", and after "<!---".
        Start,
        StartDash,
        Inside
    };

    // One byte, while a comment may be opening or is open.
    void StepComment(char c)
    {
        switch (m_comment) {
        case CommentState::Open:
            if ((m_held < 3 && c == "<!-"[m_held]) || (m_held == 3 && c == '-')) {
                if (++m_held == 4)
                    m_comment = CommentState::Start;
                return;
            }
            // Not a comment: what was held back is text, and so is c, unless
            // it begins another "<".
            FeedVisible("<!-", m_held);
            m_comment = CommentState::Text;
            if (c == '<') {
                m_comment = CommentState::Open;
                m_held = 1;
            } else {
                FeedVisible(&c, 1);
            }
            return;
        case CommentState::Start:
        case CommentState::StartDash:
            if (c == '>') {
                m_comment = CommentState::Text;
                return;
            }
            if (c == '-' && m_comment == CommentState::Start) {
                m_comment = CommentState::StartDash;
                return;
            }
            m_dashes = m_comment == CommentState::StartDash ? 1 : 0;
            m_comment = CommentState::Inside;
            [[fallthrough]];
        case CommentState::Inside:
            if (c == '-') {
                ++m_dashes;
                m_bang = false;
            } else if (c == '!' && m_dashes >= 2 && !m_bang) {
                m_bang = true;
            } else if (c == '>' && m_dashes >= 2) {
                m_comment = CommentState::Text;
                m_dashes = 0;
                m_bang = false;
            } else {
                m_dashes = 0;
                m_bang = false;
            }
            return;
        case CommentState::Text:
            break;
        }
    }

    void FeedVisible(const char *bytes, std::size_t count)
    {
        std::size_t i = 0;
        while (i < count) {
            if (m_copying && m_pending && m_first != '<') {
                // A run without CR, LF or "<" cannot complete an anchor start:
                // every character of it but the last is written as it stands.
                const std::size_t end = FindSpecial(bytes, i, count);
                if (end > i) {
                    m_out.Put(m_first);
                    m_out.Put(bytes + i, end - i - 1);
                    m_first = bytes[end - 1];
                    i = end;
                    continue;
                }
            }
            Step(bytes[i++]);
        }
    }

    static bool IsSpecial(char c) { return c == '\r' || c == '\n' || c == '<'; }

    // The first CR, LF or "<" at or after from, eight bytes at a time: a byte
    // equal to the pattern becomes zero after the exclusive or, and the lowest
    // flagged byte of the word is always a true match.
    static std::size_t FindSpecial(const char *bytes, std::size_t from, std::size_t count)
    {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
        const auto zeroBytes = [](std::uint64_t x) {
            return (x - kOnes) & ~x & kHighs;
        };
        std::size_t at = from;
        for (; at + 8 <= count; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at, 8);
            const std::uint64_t found = zeroBytes(word ^ (kOnes * '\r')) |
                                        zeroBytes(word ^ (kOnes * '\n')) |
                                        zeroBytes(word ^ (kOnes * '<'));
            if (found != 0) {
                if constexpr (std::endian::native == std::endian::little)
                    return at + static_cast<std::size_t>(std::countr_zero(found)) / 8;
                break;
            }
        }
        while (at < count && !IsSpecial(bytes[at]))
            ++at;
        return at;
    }

    void Step(char c)
    {
        if (c == '\r' || c == '\n')
            return;
        if (!m_pending) {
            m_first = c;
            m_pending = true;
        } else if (m_first == '<' && (c == 'A' || c == 'a')) {
            m_copying = true;
            m_out.Put('\r');
            m_out.Put('\n');
            m_pending = false;
        } else {
            if (m_copying)
                m_out.Put(m_first);
            m_first = c;
        }
    }

    SplitCopyWriter &m_out;
    bool m_copying = false;
    bool m_pending = false;
    char m_first = 0;
    CommentState m_comment = CommentState::Text;
    std::size_t m_held = 0;
    int m_dashes = 0;
    bool m_bang = false;
};

enum class CopyFailure
{
    None,
    Read,
    Write
};

// The first pass over the whole source; on failure errno tells why.
CopyFailure WriteSplitCopy(int source, SplitCopyWriter &out)
{
    SplitCopyPass pass(out);
    std::vector<char> block(kBlockSize);
    for (;;) {
        const ssize_t got = read(source, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return CopyFailure::Read;
        if (got == 0)
            break;
        pass.Feed(block.data(), static_cast<std::size_t>(got));
    }
    return pass.Finish() ? CopyFailure::None : CopyFailure::Write;
}

// Sets why (when asked for) and returns false, for the early returns below.
bool Fail(QString *why, const QString &text)
{
    if (why != nullptr)
        *why = text;
    return false;
}

QString ErrorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString WorkFileProblem(const QByteArray &path, const char *what)
{
    return QStringLiteral("the work file %1 %2 (%3)")
        .arg(QString::fromLocal8Bit(path), QString::fromLatin1(what), ErrorText());
}

// How the pieces of one scan are taken, and what the scan found.
struct Selection
{
    LinkRule rule = LinkRule::Classic;
    QList<QByteArray> &urls;
    QList<QByteArray> &anchors;
    int httpsLeftOut = 0;
};

bool IsHttpsLink(const QByteArray &url)
{
    return url.left(8).compare("https://", Qt::CaseInsensitive) == 0;
}

void SelectLink(std::string_view piece, Selection &selection)
{
    if (std::optional<FoundLink> link = SelectLinkInPiece(piece, selection.rule)) {
        selection.urls.append(std::move(link->url));
        selection.anchors.append(std::move(link->anchor));
        if (selection.rule == LinkRule::TodaysWeb)
            return;
    }
    // What the classic rule passed over, so that the user can learn of it.
    if (selection.rule == LinkRule::Classic) {
        const std::optional<FoundLink> todays = SelectLinkInPiece(piece, LinkRule::TodaysWeb);
        if (todays && IsHttpsLink(todays->url))
            ++selection.httpsLeftOut;
    }
}

bool SelectLinks(int splitCopy, Selection &selection)
{
    PieceReader reader(splitCopy);
    std::string_view piece;
    while (reader.Next(piece, kSplitCopyPieceChars))
        SelectLink(piece, selection);
    return !reader.Failed();
}

// The second pass over a split copy in memory, in the same pieces as
// PieceReader cuts from the file.
void SelectLinksInMemory(std::string_view splitCopy, Selection &selection)
{
    while (!splitCopy.empty()) {
        const std::size_t limit =
            std::min(splitCopy.size(), static_cast<std::size_t>(kSplitCopyPieceChars));
        const std::size_t lineFeed = splitCopy.substr(0, limit).find('\n');
        const std::size_t length = lineFeed != std::string_view::npos ? lineFeed + 1 : limit;
        SelectLink(splitCopy.substr(0, length), selection);
        splitCopy.remove_prefix(length);
    }
}

// Opens a source for scanning; an invalid descriptor, with why, when it cannot
// be scanned. size receives its length.
UniqueFd OpenSource(const QByteArray &sourcePath, qint64 &size, QString *why)
{
    // Non-blocking open, so that naming a pipe without a writer cannot hold
    // the run before the type check below turns it away.
    UniqueFd source(OpenLongPath(sourcePath, O_RDONLY | O_NONBLOCK));
    if (!source.IsValid()) {
        Fail(why, QStringLiteral("the file cannot be opened (%1)").arg(ErrorText()));
        return source;
    }
    struct stat info
    {};
    if (fstat(source.Get(), &info) != 0) {
        Fail(why, QStringLiteral("the file cannot be read (%1)").arg(ErrorText()));
        return UniqueFd();
    }
    if (!S_ISREG(info.st_mode)) {
        Fail(why, QStringLiteral("it is not a regular file"));
        return UniqueFd();
    }
    size = info.st_size;
    return source;
}

// Today's web: every tested link of the page, in page order.
void AppendPageLinks(const QByteArray &page, const QByteArray &path, const QByteArray &siteRoot,
                     QList<QByteArray> &urls, QList<QByteArray> &anchors)
{
    QList<PageLink> links =
        ReadPageLinks(std::string_view(page.constData(), page.size()), path, siteRoot);
    urls.reserve(urls.size() + links.size());
    anchors.reserve(anchors.size() + links.size());
    for (PageLink &link : links) {
        if (link.kind == LinkKind::Skipped)
            continue;
        urls.append(std::move(link.target));
        anchors.append(link.text.isEmpty() ? QByteArray(kSuppliedAnchorName)
                                           : std::move(link.text));
    }
}

} // namespace

bool ReadPage(const QByteArray &path, QByteArray &page, QString *why, qint64 limit)
{
    qint64 size = 0;
    const UniqueFd source = OpenSource(path, size, why);
    if (!source.IsValid())
        return false;
    if (!ReadWholeFile(source.Get(), page, limit))
        return Fail(why, QStringLiteral("the file cannot be read (%1)").arg(ErrorText()));
    return true;
}

std::optional<FoundLink> SelectLinkInPiece(std::string_view rawPiece, LinkRule rule)
{
    const std::string_view piece = AsCString(rawPiece);
    const std::size_t start = FindScheme(piece, rule);
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
                  QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why, LinkRule rule,
                  int *httpsLeftOut, const QByteArray &siteRoot)
{
    if (rule == LinkRule::TodaysWeb) {
        QByteArray page;
        if (!ReadPage(sourcePath, page, why))
            return false;
        AppendPageLinks(page, sourcePath, siteRoot, urls, anchors);
        return true;
    }
    qint64 size = 0;
    const UniqueFd source = OpenSource(sourcePath, size, why);
    if (!source.IsValid())
        return false;
    if (splitCopyPath.isEmpty())
        return Fail(why, QStringLiteral("there is no system directory for the work files"));

    CWorkFiles::NewFile splitCopy(splitCopyPath);
    if (!splitCopy.IsValid())
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be created"));
    SplitCopyWriter out(splitCopy.Get());
    switch (WriteSplitCopy(source.Get(), out)) {
    case CopyFailure::None:
        break;
    case CopyFailure::Read:
        return Fail(why, QStringLiteral("the file cannot be read (%1)").arg(ErrorText()));
    case CopyFailure::Write:
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be written"));
    }
    if (!splitCopy.MoveIntoPlace())
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be created"));
    Selection selection{rule, urls, anchors, 0};
    const bool selected =
        lseek(splitCopy.Get(), 0, SEEK_SET) == 0 && SelectLinks(splitCopy.Get(), selection);
    if (httpsLeftOut != nullptr)
        *httpsLeftOut += selection.httpsLeftOut;
    if (!selected)
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be read back"));
    return true;
}

ScannedFile ScanLinksInMemory(const QByteArray &sourcePath, qint64 maxSourceBytes, LinkRule rule,
                              const QByteArray &siteRoot)
{
    ScannedFile scan;
    scan.path = sourcePath;
    const UniqueFd source = OpenSource(sourcePath, scan.sourceBytes, &scan.why);
    if (!source.IsValid()) {
        scan.result = ScannedFile::Result::Failed;
        return scan;
    }
    if (scan.sourceBytes > maxSourceBytes) {
        scan.result = ScannedFile::Result::TooBig;
        return scan;
    }
    if (rule == LinkRule::TodaysWeb) {
        QByteArray page;
        if (!ReadWholeFile(source.Get(), page, maxSourceBytes)) {
            scan.why = QStringLiteral("the file cannot be read (%1)").arg(ErrorText());
            scan.result = ScannedFile::Result::Failed;
            return scan;
        }
        AppendPageLinks(page, sourcePath, siteRoot, scan.urls, scan.anchors);
        scan.result = ScannedFile::Result::Scanned;
        return scan;
    }
    scan.splitCopy.reserve(static_cast<qsizetype>(scan.sourceBytes));
    SplitCopyWriter out(scan.splitCopy);
    if (WriteSplitCopy(source.Get(), out) != CopyFailure::None) {
        scan.why = QStringLiteral("the file cannot be read (%1)").arg(ErrorText());
        scan.result = ScannedFile::Result::Failed;
        scan.splitCopy.clear();
        return scan;
    }
    Selection selection{rule, scan.urls, scan.anchors, 0};
    SelectLinksInMemory(std::string_view(scan.splitCopy.constData(), scan.splitCopy.size()),
                        selection);
    scan.httpsLeftOut = selection.httpsLeftOut;
    scan.result = ScannedFile::Result::Scanned;
    return scan;
}

bool StoreSplitCopy(const QByteArray &splitCopy, const QByteArray &splitCopyPath, QString *why)
{
    if (splitCopyPath.isEmpty())
        return Fail(why, QStringLiteral("there is no system directory for the work files"));
    CWorkFiles::NewFile file(splitCopyPath);
    if (!file.IsValid())
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be created"));
    if (!WriteAll(file.Get(), splitCopy.constData(), static_cast<std::size_t>(splitCopy.size())))
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be written"));
    if (!file.MoveIntoPlace())
        return Fail(why, WorkFileProblem(splitCopyPath, "cannot be created"));
    return true;
}
