#include "linklocator.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

#include "discovery/htmltokenizer.h"
#include "discovery/linebreak.h"
#include "discovery/linkextractor.h"
#include "discovery/pagelinks.h"
#include "platform/longpath.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

namespace {

// Pages larger than this are not read again for their links' places.
constexpr qint64 kLargestLocatedPage = qint64{256} << 20;

// Blanks out the page's comments, keeping its line breaks: the scan takes no
// link from a comment, so no link stands there.
void BlankComments(QByteArray &page)
{
    if (!page.contains("<!--"))
        return;
    char *data = page.data(); // a copy of its own, written in place
    const std::string_view text(data, static_cast<std::size_t>(page.size()));
    for (qsizetype open = page.indexOf("<!--"); open >= 0; open = page.indexOf("<!--", open)) {
        const auto end =
            static_cast<qsizetype>(HtmlCommentEnd(text, static_cast<std::size_t>(open) + 4));
        for (qsizetype i = open; i < end; ++i) {
            if (data[i] != '\n' && data[i] != '\r')
                data[i] = ' ';
        }
        open = end;
    }
}

} // namespace

CLinkLocator::CLinkLocator(QByteArray page) : m_page(std::move(page))
{
    BlankComments(m_page);
    m_cursor = NextAnchor(0);
}

CLinkLocator CLinkLocator::ForPage(const QByteArray &path, LinkRule rule,
                                   const QByteArray &siteRoot)
{
    if (rule == LinkRule::TodaysWeb) {
        CLinkLocator locator{QByteArray()};
        locator.m_bRead = true;
        QByteArray page;
        if (!ReadPage(path, page, nullptr, kLargestLocatedPage))
            return locator;
        for (const PageLink &link :
             ReadPageLinks(std::string_view(page.constData(), page.size()), path, siteRoot)) {
            if (link.kind != LinkKind::Skipped)
                locator.m_read.append({link.target, {link.line, link.column, link.written}});
        }
        return locator;
    }
    const UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    QByteArray page;
    if (!fd.IsValid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !ReadWholeFile(fd.Get(), page, kLargestLocatedPage))
        page.clear();
    return CLinkLocator(std::move(page));
}

CLinkLocator::Place CLinkLocator::Locate(const QByteArray &link)
{
    if (m_bRead) {
        for (qsizetype i = m_nextRead; i < m_read.size(); ++i) {
            if (m_read[i].target == link) {
                m_nextRead = i + 1;
                return m_read[i].place;
            }
        }
        return {};
    }
    if (link.isEmpty())
        return {};
    // An occurrence that runs into the next anchor line is not the link:
    // the scan never takes a link across an anchor start.
    for (qsizetype at = m_page.indexOf(link, m_cursor); at >= 0;
         at = m_page.indexOf(link, at + 1)) {
        const qsizetype end = NextAnchor(at + 1);
        if (at + link.size() <= end) {
            // The scan takes one link from each piece of an anchor line: the
            // next link comes from the next anchor line, unless this one is
            // long enough to be taken in several pieces.
            const qsizetype start = m_page.lastIndexOf("<a", at);
            const qsizetype startUpper = m_page.lastIndexOf("<A", at);
            const qsizetype lineLength = end - std::max(start, startUpper);
            m_cursor = lineLength > kSplitCopyPieceChars ? at + link.size() : end;
            return PlaceOf(at);
        }
    }
    return {};
}

qsizetype CLinkLocator::NextAnchor(qsizetype from) const
{
    for (qsizetype at = m_page.indexOf('<', from); at >= 0; at = m_page.indexOf('<', at + 1)) {
        if (at + 1 < m_page.size() && (m_page[at + 1] == 'a' || m_page[at + 1] == 'A'))
            return at;
    }
    return m_page.size();
}

CLinkLocator::Place CLinkLocator::PlaceOf(qsizetype offset)
{
    const std::string_view page(m_page.constData(), static_cast<std::size_t>(m_page.size()));
    for (; m_counted < offset; ++m_counted) {
        if (EndsLine(page, static_cast<std::size_t>(m_counted))) {
            ++m_line;
            m_lineStart = m_counted + 1;
        }
    }
    return {m_line, static_cast<int>(offset - m_lineStart + 1), {}};
}
