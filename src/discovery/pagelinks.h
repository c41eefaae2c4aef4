#pragma once

#include <string_view>

#include <QByteArray>
#include <QList>
#include <QSet>

// What a link of a page is to a run.
enum class LinkKind
{
    // On another site: http, https or ftp.
    External,
    // A file of this site, checked on disk.
    Internal,
    // A place in the page itself ("#intro").
    Fragment,
    // Not tested: mailto:, tel:, javascript:, data: and other schemes.
    Skipped
};

// The word --list-links shows for a kind: external, internal, fragment, skipped.
QByteArray LinkKindName(LinkKind kind);

// One link of a page, read as a browser reads it.
struct PageLink
{
    // The attribute value with its character references decoded (for a
    // srcset, one of its addresses).
    QByteArray written;
    // The address it is tested at: an absolute http, https or ftp URL, or a
    // file: URL for a file of the site; empty when skipped.
    QByteArray target;
    LinkKind kind = LinkKind::Skipped;
    // The element and attribute that carry it ("img", "srcset").
    std::string_view element;
    std::string_view attribute;
    // The anchor's text (an image's alt text), white space folded.
    QByteArray text;
    // Of the value in the page, from 1; the column in bytes.
    int line = 0;
    int column = 0;
};
// Moved in memory as it stands when a long list of them grows.
Q_DECLARE_TYPEINFO(PageLink, Q_RELOCATABLE_TYPE);

// Reads every link of a page: a and area href, img, script, iframe, source,
// video, audio, embed and track src, img and source srcset, link href, form
// action and object data; not inside comments or the raw text of scripts and
// styles. Relative links resolve against the page, or against its first
// <base href>; root-relative ones ("/about.html") against siteRoot (empty:
// the page's own directory).
QList<PageLink> ReadPageLinks(std::string_view page, const QByteArray &pagePath,
                              const QByteArray &siteRoot);

// The names a fragment may point at in a page: every id, and every a name.
QSet<QByteArray> ReadPageAnchors(std::string_view page);
