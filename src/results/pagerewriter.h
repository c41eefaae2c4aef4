#pragma once

#include <QByteArray>
#include <QSet>

#include "results/commentscanner.h"
#include "results/linereader.h"
#include "results/repairedline.h"

// The two ways of repairing a reported link's line.
enum RepairType
{
    REPAIR_DISABLE_LINE = 0,
    REPAIR_REPLACE_URL = 1
};

// What became of one reported link.
enum class LinkOutcome
{
    Repaired,
    // A comment holds it already, or an earlier repair replaced it.
    AlreadyDisabled,
    NotFound,
    // No comment can hold it without changing the page's own comments: its
    // line ends one before the link, or opens one for the lines after it, or
    // the URL itself would end one.
    CannotDisable
};

// Writes the repaired version of one page into a new file, link by link in
// the report's order. Each link is looked for in the page's original text
// (its backup) from just after the link before, so that a page repaired
// before, wholly or in part, is recognised link by link: what an earlier
// repair did stays as it is and nothing is commented twice. Every line keeps
// its own ending; a link that is not found moves nothing.
class CPageRewriter
{
public:
    // type is a RepairType; fileName is the name that replaces a URL.
    CPageRewriter(int originalFd, int pageFd, int outFd, QByteArray fileName, int type);

    CPageRewriter(const CPageRewriter &) = delete;
    CPageRewriter &operator=(const CPageRewriter &) = delete;

    LinkOutcome Repair(const QByteArray &url);
    // Writes the rest of the page; false when anything could not be read or
    // written, or the page no longer agrees with its original.
    bool Finish();

    bool Changed() const { return m_changed; }
    bool Failed() const { return m_failed; }
    // The system's error number of the failure; 0 when the page and its
    // original disagree.
    int Error() const { return m_error; }

private:
    // Finds the next line after the current one that holds url: how many
    // lines lie before it and the comment state at its start. Leaves both
    // files where they were.
    bool LookAhead(std::string_view url, CommentScanner *state, qsizetype *passed);
    // Writes the current line and the passed ones, and takes up the next.
    bool MoveOn(qsizetype passed, const CommentScanner &state);
    LinkOutcome Apply(qsizetype at, const QByteArray &url);
    // Reads the next line of both files into the current line.
    bool LoadLine();
    // Notes how the current line leaves the comments of the lines after it.
    void NoteLineEnd();
    void WriteLine();
    // The comment state after the current line as it will be written.
    CommentScanner StateAfterLine() const;
    // Feeds the written text of the current line's original [from, to).
    void FeedWritten(CommentScanner &scanner, qsizetype from, qsizetype to) const;
    void AdvanceTo(qsizetype to);
    bool SeekBoth(off_t original, off_t page);
    void Write(std::string_view bytes);
    void Flush();
    void Fail(int error);

    LineReader m_original;
    LineReader m_page;
    int m_outFd;
    QByteArray m_outBuffer;
    const QByteArray m_fileName;
    const int m_type;

    bool m_hasLine = false;
    QByteArray m_text;     // the current line's original text
    QByteArray m_pageText; // the same line as the page holds it
    QByteArray m_ending;
    RepairMarks m_marks;
    bool m_lineChanged = false;
    qsizetype m_cursor = 0;
    CommentScanner m_lineStart; // before the current line (or the next one)
    CommentScanner m_atCursor;  // at the cursor of the current line
    // At the cursor too, were the line made a comment once more.
    CommentScanner m_ifWrapped;
    // The current line ends inside a comment (before any ending comments).
    bool m_bodyEndsInComment = false;
    // One more comment around the current line leaves the lines after it
    // inside or outside a comment as they were.
    bool m_wrapKeepsEnd = true;

    QSet<QByteArray> m_absent;
    bool m_changed = false;
    bool m_failed = false;
    int m_error = 0;
};
