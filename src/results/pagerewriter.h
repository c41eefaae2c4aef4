#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QSet>

#include "results/anchortags.h"
#include "results/commentscanner.h"
#include "results/pageedit.h"

// The two ways of repairing a reported link.
enum RepairType
{
    // The link's element is made an HTML comment.
    REPAIR_DISABLE_LINE = 0,
    // The URL gives way to the page's own file name and is kept in a comment
    // at the end of its line.
    REPAIR_REPLACE_URL = 1,
    // A link that moved for good gives way to the address it leads to;
    // other links stay as they are.
    REPAIR_UPDATE_MOVED = 2
};

// What became of one reported link.
enum class LinkOutcome
{
    Repaired,
    // A comment holds it already, or an earlier repair replaced it.
    AlreadyDisabled,
    NotFound,
    // No comment can hold it without changing the page's own comments: its
    // element holds the end of one or leaves one open, or its line ends in
    // one, or the URL itself would end one.
    CannotDisable
};

// Makes the repaired version of one page, link by link in the report's
// order. A reported link is a whole link: the complete href value of an
// anchor or area tag, never a part of a longer address. Each is looked for
// in the page's original text from just after the link before, so that a
// page repaired before, wholly or in part, is recognised link by link: what
// an earlier repair did stays as it is and nothing is commented twice.
// Nothing outside the reported links' elements (or, replacing, their URLs
// and the comments that keep them) changes.
class CPageRewriter
{
public:
    // original is the page's original text; edits the changes that earlier
    // repairs made of it (the page as it stands); fileName the name that
    // replaces a URL; type a RepairType.
    CPageRewriter(QByteArray original, PageEdits edits, QByteArray fileName, int type);

    CPageRewriter(const CPageRewriter &) = delete;
    CPageRewriter &operator=(const CPageRewriter &) = delete;

    // A report of today's web names a link by the address it was tested at:
    // its href resolved against the page (its <base>, the site root) with
    // character references decoded. From now on each anchor is found by that
    // address too. pagePath is the page as the run named it; an empty siteRoot
    // tries the page's directory and each directory above it.
    void FindByTestedAddress(const QByteArray &pagePath, const QByteArray &siteRoot);

    // movedTo: where the link leads now, for REPAIR_UPDATE_MOVED.
    LinkOutcome Repair(const QByteArray &url, const QByteArray &movedTo = {});
    // The page with every repair made.
    QByteArray Finish();

private:
    struct Place
    {
        enum class Kind
        {
            Href,
            // "<!--" url "-->", as a replacement keeps a URL.
            KeptComment
        };
        Kind kind = Kind::Href;
        std::size_t at = 0;    // where the URL begins
        std::size_t tag = 0;   // Href: the index of its tag
        std::size_t after = 0; // just after the URL (and its comment)
    };

    bool Find(const QByteArray &url, Place *place);
    LinkOutcome Disable(const AnchorTag &tag, std::size_t index);
    LinkOutcome Replace(const QByteArray &url, const AnchorTag &tag);
    LinkOutcome Update(const QByteArray &url, const QByteArray &movedTo, const AnchorTag &tag);
    // Writes the page up to at, with the changes before it and those that
    // end at it; false when the page is written past at already.
    bool WriteTo(std::size_t at);
    // Writes a change made at the place written to.
    void WriteEdit(PageEdit edit);
    void Emit(std::string_view bytes);
    // The original's text [from, to) as the changes not yet written write it,
    // with those at to up to the kind lastAtTo.
    QByteArray Written(std::size_t from, std::size_t to,
                       std::optional<PageEdit::Kind> lastAtTo = std::nullopt) const;
    std::size_t LineEnd(std::size_t from) const;

    const QByteArray m_original;
    const std::string_view m_text;
    const QByteArray m_fileName;
    const int m_type;
    PageEdits m_edits;
    const std::vector<AnchorTag> m_tags;
    // The tags of each href value, and where each comment of the original
    // stands, by its text.
    QHash<QByteArray, std::vector<std::size_t>> m_tagsByUrl;
    QHash<QByteArray, std::vector<std::size_t>> m_comments;

    QByteArray m_out;
    std::size_t m_written = 0; // how much of the original m_out covers
    std::size_t m_nextEdit = 0;
    CommentScanner m_state; // at the end of m_out
    std::size_t m_cursor = 0;
    QSet<QByteArray> m_absent;
};
