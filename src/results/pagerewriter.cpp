#include "pagerewriter.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "discovery/linebreak.h"
#include "discovery/pagelinks.h"
#include "platform/byteview.h"

namespace {

constexpr std::string_view kOpen = "<!--";
constexpr std::string_view kClose = "-->";
// Comments of the original longer than this are never a kept URL.
constexpr std::size_t kLongestKeptUrl = 64 * 1024;

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

// Where each comment "<!--" text "-->" of the page stands, by its text.
QHash<QByteArray, std::vector<std::size_t>> CommentsOf(std::string_view text)
{
    QHash<QByteArray, std::vector<std::size_t>> comments;
    for (std::size_t open = text.find(kOpen); open != std::string_view::npos;
         open = text.find(kOpen, open + 1)) {
        const std::size_t close = text.find(kClose, open + kOpen.size());
        if (close == std::string_view::npos)
            break;
        const std::size_t length = close - open - kOpen.size();
        if (length > 0 && length <= kLongestKeptUrl)
            comments[Bytes(text.substr(open + kOpen.size(), length))].push_back(open);
    }
    return comments;
}

// True when a tag that begins in text is still open at its end (a "<" that
// starts a tag with no ">" after it).
bool EndsInsideTag(std::string_view text)
{
    for (std::size_t at = text.rfind('<'); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : text.rfind('<', at - 1)) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        const bool startsTag = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                               next == '/' || next == '!' || next == '?';
        if (startsTag || at + 1 == text.size())
            return text.find('>', at) == std::string_view::npos;
    }
    return false;
}

// An address as an attribute value writes it, whatever its quotes: the
// characters that would end the value or start a character reference are
// written as references, which a browser reads back as the address.
QByteArray AttributeText(const QByteArray &address)
{
    QByteArray text;
    text.reserve(address.size());
    for (const char c : address) {
        if (c == '&')
            text += "&amp;";
        else if (c == '"')
            text += "&quot;";
        else if (c == '\'')
            text += "&#39;";
        else
            text += c;
    }
    return text;
}

} // namespace

CPageRewriter::CPageRewriter(QByteArray original, PageEdits edits, QByteArray fileName, int type)
    : m_original(std::move(original)), m_text(View(m_original)), m_fileName(std::move(fileName)),
      m_type(type), m_edits(std::move(edits)), m_tags(FindAnchorTags(m_text)),
      m_comments(CommentsOf(m_text))
{
    for (std::size_t i = 0; i < m_tags.size(); ++i)
        m_tagsByUrl[Bytes(m_tags[i].Value(m_text))].push_back(i);
    m_out.reserve(m_original.size() + 256);
}

void CPageRewriter::FindByTestedAddress(const QByteArray &pagePath, const QByteArray &siteRoot)
{
    // Where each line of the page begins, to find a link's tag by its line and column.
    // Lines end as the link reader counts them (LF, CR LF or a lone CR).
    std::vector<std::size_t> lineStarts{0};
    for (std::size_t at = 0; at < m_text.size(); ++at) {
        if (EndsLine(m_text, at))
            lineStarts.push_back(at + 1);
    }
    QList<QByteArray> roots{siteRoot};
    if (siteRoot.isEmpty()) {
        QDir directory = QFileInfo(QFile::decodeName(pagePath)).absoluteDir();
        while (directory.cdUp())
            roots.append(QFile::encodeName(directory.absolutePath()));
    }
    for (const QByteArray &root : roots) {
        bool rootRelative = false;
        for (const PageLink &link : ReadPageLinks(m_text, pagePath, root)) {
            rootRelative =
                rootRelative || (link.written.startsWith('/') && !link.written.startsWith("//"));
            if (link.attribute != "href" || link.target.isEmpty() || link.line < 1 ||
                static_cast<std::size_t>(link.line) > lineStarts.size())
                continue;
            const std::size_t at = lineStarts[static_cast<std::size_t>(link.line) - 1] +
                                   static_cast<std::size_t>(std::max(link.column - 1, 0));
            const auto after = std::upper_bound(
                m_tags.begin(), m_tags.end(), at,
                [](std::size_t place, const AnchorTag &tag) { return place < tag.start; });
            if (after == m_tags.begin() || at >= std::prev(after)->end)
                continue;
            const auto index = static_cast<std::size_t>(std::prev(after) - m_tags.begin());
            std::vector<std::size_t> &tags = m_tagsByUrl[link.target];
            const auto place = std::lower_bound(tags.begin(), tags.end(), index);
            if (place == tags.end() || *place != index)
                tags.insert(place, index);
        }
        // Only a link that starts with "/" depends on the site root.
        if (!rootRelative)
            break;
    }
}

LinkOutcome CPageRewriter::Repair(const QByteArray &url, const QByteArray &movedTo)
{
    Place place;
    if (url.isEmpty() || !Find(url, &place))
        return LinkOutcome::NotFound;
    m_cursor = place.after;
    if (place.kind == Place::Kind::KeptComment)
        return LinkOutcome::AlreadyDisabled;
    const AnchorTag &tag = m_tags[place.tag];
    if (m_edits.Replaced(static_cast<qsizetype>(tag.valueStart)))
        return LinkOutcome::AlreadyDisabled;
    // The page's own writing of the link is what gives way and is kept.
    const QByteArray written = Bytes(tag.Value(m_text));
    if (m_type == REPAIR_UPDATE_MOVED)
        return Update(written, movedTo, tag);
    return m_type == REPAIR_REPLACE_URL ? Replace(written, tag) : Disable(tag, place.tag);
}

bool CPageRewriter::Find(const QByteArray &url, Place *place)
{
    if (m_absent.contains(url))
        return false;
    bool found = false;
    const auto tags = m_tagsByUrl.constFind(url);
    if (tags != m_tagsByUrl.cend()) {
        const auto next = std::lower_bound(tags->begin(), tags->end(), m_cursor,
                                           [this](std::size_t index, std::size_t cursor) {
                                               return m_tags[index].valueStart < cursor;
                                           });
        if (next != tags->end()) {
            const AnchorTag &tag = m_tags[*next];
            *place = {Place::Kind::Href, tag.valueStart, *next, tag.valueEnd};
            found = true;
        }
    }
    const auto comments = m_comments.constFind(url);
    if (comments != m_comments.cend()) {
        const auto next = std::lower_bound(comments->begin(), comments->end(), m_cursor);
        if (next != comments->end() && (!found || *next < place->at))
            *place = {Place::Kind::KeptComment, *next, 0,
                      *next + kOpen.size() + static_cast<std::size_t>(url.size()) + kClose.size()};
        found = found || next != comments->end();
    }
    if (!found) // Once not found from here, never found further on either.
        m_absent.insert(url);
    return found;
}

LinkOutcome CPageRewriter::Disable(const AnchorTag &tag, std::size_t index)
{
    if (!WriteTo(tag.start))
        return LinkOutcome::CannotDisable;
    if (m_state.InComment())
        return LinkOutcome::AlreadyDisabled;
    // The comment must hold the whole element and leave the comments around
    // it as they were: nothing in the element may end it early, and the
    // element must not open a comment of its own for the text after it.
    const std::size_t end = ElementEnd(m_text, m_tags, index);
    const QByteArray element = Written(tag.start, end);
    CommentScanner after = m_state;
    after.Feed(View(element));
    if (element.contains(kClose.data()) || element.contains("--!>") || after.InComment())
        return LinkOutcome::CannotDisable;
    WriteEdit({static_cast<qsizetype>(tag.start), PageEdit::Kind::OpenElement, {}, {}});
    m_edits.Add({static_cast<qsizetype>(end), PageEdit::Kind::CloseElement, {}, {}});
    return LinkOutcome::Repaired;
}

LinkOutcome CPageRewriter::Replace(const QByteArray &url, const AnchorTag &tag)
{
    if (!WriteTo(tag.valueStart))
        return LinkOutcome::CannotDisable;
    if (m_state.InComment())
        return LinkOutcome::AlreadyDisabled;
    // A URL that begins with the file name would leave no trace of where it
    // stood, and the next repair could not tell the page repaired; the URL
    // is kept at the end of its own line, which must not lie inside a tag
    // (the comment would break it), nor inside the page's own comment (it
    // would end that one early).
    if (!FitsInComment(View(url)) || !FitsInComment(View(m_fileName)) || url.startsWith(m_fileName))
        return LinkOutcome::CannotDisable;
    const std::size_t lineEnd = LineEnd(tag.valueEnd);
    if (tag.end > lineEnd ||
        EndsInsideTag(m_text.substr(tag.end, lineEnd > tag.end ? lineEnd - tag.end : 0)))
        return LinkOutcome::CannotDisable;
    CommentScanner atLineEnd = m_state;
    atLineEnd.Feed(View(m_fileName));
    atLineEnd.Feed(View(Written(tag.valueEnd, lineEnd, PageEdit::Kind::KeepUrl)));
    if (atLineEnd.InComment())
        return LinkOutcome::CannotDisable;
    WriteEdit({static_cast<qsizetype>(tag.valueStart), PageEdit::Kind::ReplaceUrl, url, {}});
    m_edits.Add({static_cast<qsizetype>(lineEnd), PageEdit::Kind::KeepUrl, url, {}});
    return LinkOutcome::Repaired;
}

LinkOutcome CPageRewriter::Update(const QByteArray &url, const QByteArray &movedTo,
                                  const AnchorTag &tag)
{
    if (!WriteTo(tag.valueStart))
        return LinkOutcome::CannotDisable;
    // A link inside a comment is no link of the page.
    if (m_state.InComment())
        return LinkOutcome::AlreadyDisabled;
    WriteEdit({static_cast<qsizetype>(tag.valueStart), PageEdit::Kind::UpdateUrl, url,
               AttributeText(movedTo)});
    return LinkOutcome::Repaired;
}

QByteArray CPageRewriter::Finish()
{
    WriteTo(m_text.size());
    return m_out;
}

bool CPageRewriter::WriteTo(std::size_t at)
{
    const std::vector<PageEdit> &edits = m_edits.All();
    for (; m_nextEdit < edits.size(); ++m_nextEdit) {
        const PageEdit &edit = edits[m_nextEdit];
        const auto editAt = static_cast<std::size_t>(edit.at);
        if (editAt > at || (editAt == at && edit.Removes()))
            break;
        Emit(m_text.substr(m_written, editAt - m_written));
        Emit(View(edit.Text(View(m_fileName))));
        m_written = editAt + static_cast<std::size_t>(edit.RemovedLength());
    }
    if (m_written > at)
        return false;
    Emit(m_text.substr(m_written, at - m_written));
    m_written = at;
    return true;
}

void CPageRewriter::WriteEdit(PageEdit edit)
{
    // Written up to its place, with every change before it: it is the next
    // one to write.
    const std::size_t index = m_edits.Add(std::move(edit));
    const PageEdit &added = m_edits.All()[index];
    Emit(View(added.Text(View(m_fileName))));
    m_written += static_cast<std::size_t>(added.RemovedLength());
    m_nextEdit = index + 1;
}

void CPageRewriter::Emit(std::string_view bytes)
{
    m_out.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    m_state.Feed(bytes);
}

QByteArray CPageRewriter::Written(std::size_t from, std::size_t to,
                                  std::optional<PageEdit::Kind> lastAtTo) const
{
    QByteArray text;
    std::size_t at = from;
    const std::vector<PageEdit> &edits = m_edits.All();
    for (std::size_t i = m_nextEdit; i < edits.size(); ++i) {
        const PageEdit &edit = edits[i];
        const auto editAt = static_cast<std::size_t>(edit.at);
        if (editAt < from)
            continue;
        if (editAt > to || (editAt == to && (!lastAtTo || edit.Removes() || edit.kind > *lastAtTo)))
            break;
        text += Bytes(m_text.substr(at, editAt - at));
        text += edit.Text(View(m_fileName));
        at = std::min(to, editAt + static_cast<std::size_t>(edit.RemovedLength()));
    }
    text += Bytes(m_text.substr(at, to - at));
    return text;
}

std::size_t CPageRewriter::LineEnd(std::size_t from) const
{
    const std::size_t end = m_text.find_first_of("\r\n", from);
    return end == std::string_view::npos ? m_text.size() : end;
}
