#include "pagerewriter.h"

#include <cerrno>

#include "platform/uniquefd.h"

namespace {

constexpr qsizetype kOutputBlock = qsizetype{1} << 16;
constexpr std::string_view kOpen = "<!--";
constexpr std::string_view kClose = "-->";

std::string_view View(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A URL kept in a comment of its own must neither end that comment early nor
// look like the start of another, or the next repair could not tell it.
bool FitsInComment(std::string_view url)
{
    if (url.find("<!-") != std::string_view::npos)
        return false;
    CommentScanner scanner;
    scanner.Feed(kOpen);
    scanner.Feed(url);
    if (!scanner.InComment())
        return false;
    scanner.Feed(kClose);
    return !scanner.InComment();
}

} // namespace

CPageRewriter::CPageRewriter(int originalFd, int pageFd, int outFd, QByteArray fileName, int type)
    : m_original(originalFd), m_page(pageFd), m_outFd(outFd), m_fileName(std::move(fileName)),
      m_type(type)
{}

LinkOutcome CPageRewriter::Repair(const QByteArray &url)
{
    if (m_failed || url.isEmpty() || m_absent.contains(url))
        return LinkOutcome::NotFound;
    if (m_hasLine) {
        const qsizetype at = m_text.indexOf(url, m_cursor);
        if (at >= 0)
            return Apply(at, url);
    }
    CommentScanner state;
    qsizetype passed = 0;
    if (!LookAhead(View(url), &state, &passed)) {
        // Once not found from here, never found further on either.
        if (!m_failed)
            m_absent.insert(url);
        return LinkOutcome::NotFound;
    }
    if (!MoveOn(passed, state))
        return LinkOutcome::NotFound;
    const qsizetype at = m_text.indexOf(url);
    if (at < 0) {
        Fail(0); // The original changed under the repair.
        return LinkOutcome::NotFound;
    }
    return Apply(at, url);
}

bool CPageRewriter::LookAhead(std::string_view url, CommentScanner *state, qsizetype *passed)
{
    // Nothing is written meanwhile and both files go back to where they
    // were, so that a URL that is not found moves nothing.
    const off_t originalStart = m_original.Offset();
    const off_t pageStart = m_page.Offset();
    *state = m_hasLine ? StateAfterLine() : m_lineStart;
    std::string_view text, ending, pageText, pageEnding;
    for (*passed = 0;; ++*passed) {
        if (!m_original.Next(text, ending)) {
            if (m_original.Failed())
                Fail(m_original.Error());
            break;
        }
        if (!m_page.Next(pageText, pageEnding)) {
            Fail(m_page.Error());
            break;
        }
        if (m_original.Whole() && text.find(url) != std::string_view::npos)
            return SeekBoth(originalStart, pageStart);
        state->Feed(pageText);
        state->Feed(pageEnding);
    }
    if (!m_failed)
        SeekBoth(originalStart, pageStart);
    return false;
}

bool CPageRewriter::MoveOn(qsizetype passed, const CommentScanner &state)
{
    if (m_hasLine)
        WriteLine();
    std::string_view text, ending, pageText, pageEnding;
    for (qsizetype line = 0; line < passed; ++line) {
        if (!m_original.Next(text, ending) || !m_page.Next(pageText, pageEnding)) {
            Fail(m_page.Failed() ? m_page.Error() : m_original.Error());
            return false;
        }
        Write(pageText);
        Write(pageEnding);
    }
    m_lineStart = state;
    return LoadLine();
}

LinkOutcome CPageRewriter::Apply(qsizetype at, const QByteArray &url)
{
    const qsizetype end = at + url.size();
    if (m_marks.Covers(at, url.size())) {
        AdvanceTo(end);
        return LinkOutcome::AlreadyDisabled;
    }
    AdvanceTo(at);
    if (m_atCursor.InComment()) {
        AdvanceTo(end);
        return LinkOutcome::AlreadyDisabled;
    }
    if (m_type == REPAIR_REPLACE_URL) {
        // A URL that begins with the file name would leave no trace of where
        // it stood, and the next repair could not tell the page repaired; a
        // comment added to a line that ends inside the page's own comment
        // would end that one early.
        if (!FitsInComment(View(url)) || !FitsInComment(View(m_fileName)) ||
            url.startsWith(m_fileName) || m_bodyEndsInComment) {
            AdvanceTo(end);
            return LinkOutcome::CannotDisable;
        }
        m_marks.Replace(at, url);
        m_lineChanged = true;
        AdvanceTo(end);
        return LinkOutcome::Repaired;
    }
    // A comment around the whole line holds the link only when nothing in
    // the line before it, nor the URL itself, ends that comment, and when it
    // leaves a comment that the line opens for the lines after it open; one
    // more around a line already made a comment would not help either.
    CommentScanner afterUrl = m_ifWrapped;
    afterUrl.Feed(View(url));
    if (m_marks.wraps > 0 || !m_ifWrapped.InComment() || !afterUrl.InComment() || !m_wrapKeepsEnd) {
        AdvanceTo(end);
        return LinkOutcome::CannotDisable;
    }
    ++m_marks.wraps;
    m_lineChanged = true;
    m_atCursor = m_ifWrapped;
    AdvanceTo(end);
    return LinkOutcome::Repaired;
}

bool CPageRewriter::LoadLine()
{
    std::string_view text, ending, pageText, pageEnding;
    if (!m_original.Next(text, ending) || !m_page.Next(pageText, pageEnding)) {
        Fail(m_page.Failed() ? m_page.Error() : m_original.Error());
        return false;
    }
    m_marks = RepairMarks();
    if (ending != pageEnding || !MatchRepairedLine(text, pageText, View(m_fileName), &m_marks)) {
        Fail(0);
        return false;
    }
    m_text = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    m_pageText = QByteArray(pageText.data(), static_cast<qsizetype>(pageText.size()));
    m_ending = QByteArray(ending.data(), static_cast<qsizetype>(ending.size()));
    m_hasLine = true;
    m_lineChanged = false;
    m_cursor = 0;
    m_atCursor = m_lineStart;
    for (int wrap = 0; wrap < m_marks.wraps; ++wrap)
        m_atCursor.Feed(kOpen);
    m_ifWrapped = m_atCursor;
    m_ifWrapped.Feed(kOpen);
    NoteLineEnd();
    return true;
}

void CPageRewriter::NoteLineEnd()
{
    // Whether the line ends inside a comment, as it stands and as it would
    // with one more comment around it.
    CommentScanner end = m_atCursor;
    CommentScanner wrappedEnd = m_ifWrapped;
    for (CommentScanner *scanner : {&end, &wrappedEnd}) {
        FeedWritten(*scanner, 0, m_text.size());
        for (const QByteArray &url : m_marks.kept) {
            scanner->Feed(kOpen);
            scanner->Feed(View(url));
            scanner->Feed(kClose);
        }
    }
    m_bodyEndsInComment = end.InComment();
    for (int wrap = 0; wrap < m_marks.wraps; ++wrap)
        end.Feed(kClose);
    for (int wrap = 0; wrap <= m_marks.wraps; ++wrap)
        wrappedEnd.Feed(kClose);
    m_wrapKeepsEnd = end.InComment() == wrappedEnd.InComment();
}

void CPageRewriter::WriteLine()
{
    const CommentScanner after = StateAfterLine();
    if (m_lineChanged) {
        Write(View(ComposeLine(View(m_text), m_marks, View(m_fileName))));
        m_changed = true;
    } else {
        Write(View(m_pageText));
    }
    Write(View(m_ending));
    m_lineStart = after;
    m_hasLine = false;
}

CommentScanner CPageRewriter::StateAfterLine() const
{
    CommentScanner state = m_atCursor;
    FeedWritten(state, m_cursor, m_text.size());
    for (const QByteArray &url : m_marks.kept) {
        state.Feed(kOpen);
        state.Feed(View(url));
        state.Feed(kClose);
    }
    for (int wrap = 0; wrap < m_marks.wraps; ++wrap)
        state.Feed(kClose);
    state.Feed(View(m_ending));
    return state;
}

void CPageRewriter::FeedWritten(CommentScanner &scanner, qsizetype from, qsizetype to) const
{
    const std::string_view text = View(m_text);
    qsizetype at = from;
    for (auto r = m_marks.FirstEndingAfter(from); r != m_marks.replaced.end() && r->at < to; ++r) {
        // A replacement begun before from has had its file name fed already.
        if (r->at >= at) {
            scanner.Feed(
                text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(r->at - at)));
            scanner.Feed(View(m_fileName));
        }
        at = r->at + r->length;
    }
    if (at < to)
        scanner.Feed(text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(to - at)));
}

void CPageRewriter::AdvanceTo(qsizetype to)
{
    if (to <= m_cursor)
        return;
    FeedWritten(m_atCursor, m_cursor, to);
    if (m_type != REPAIR_REPLACE_URL && m_marks.wraps == 0)
        FeedWritten(m_ifWrapped, m_cursor, to);
    m_cursor = to;
}

bool CPageRewriter::Finish()
{
    if (m_hasLine)
        WriteLine();
    std::string_view text, ending;
    while (!m_failed && m_page.Next(text, ending)) {
        Write(text);
        Write(ending);
    }
    if (m_page.Failed())
        Fail(m_page.Error());
    Flush();
    return !m_failed;
}

bool CPageRewriter::SeekBoth(off_t original, off_t page)
{
    if (m_original.SeekTo(original) && m_page.SeekTo(page))
        return true;
    Fail(m_original.Failed() ? m_original.Error() : m_page.Error());
    return false;
}

void CPageRewriter::Write(std::string_view bytes)
{
    if (m_failed)
        return;
    m_outBuffer.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (m_outBuffer.size() >= kOutputBlock)
        Flush();
}

void CPageRewriter::Flush()
{
    if (!m_failed &&
        !WriteAll(m_outFd, m_outBuffer.constData(), static_cast<std::size_t>(m_outBuffer.size())))
        Fail(errno);
    m_outBuffer.clear();
}

void CPageRewriter::Fail(int error)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error;
    }
}
