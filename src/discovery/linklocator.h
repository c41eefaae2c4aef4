#pragma once

#include <QByteArray>
#include <QList>

#include "discovery/linkextractor.h"

// Finds where the links that a scan took from a page stand in it: the line
// and column of each, asked for in the order of the page. A link is looked
// for from where the one before was found, within the anchor lines the scan
// cuts the page into (the text from one "<a" to the next): the first
// occurrence of its text after the anchor start is its place. A link that
// does not stand in the page as it was taken (its text broken over lines, or
// the page changed since) has no known place, and moves nothing.
class CLinkLocator
{
public:
    struct Place
    {
        int line = 0;   // from 1; 0 when unknown
        int column = 0; // in bytes, from 1
        // By today's web rule, the link as the page writes it (references
        // decoded); empty otherwise.
        QByteArray written;
    };

    explicit CLinkLocator(QByteArray page);
    // Reads the page; one that cannot be read (or is not a regular file)
    // leaves every place unknown. By today's web rule the places are those
    // of the page's links as a browser reads them, taken in page order by
    // the address each is tested at.
    static CLinkLocator ForPage(const QByteArray &path, LinkRule rule = LinkRule::Classic,
                                const QByteArray &siteRoot = {});

    Place Locate(const QByteArray &link);

private:
    // The next anchor start ("<a" in either case) at or after from, or the
    // page's length.
    qsizetype NextAnchor(qsizetype from) const;
    // The place of offset, counting lines on from the last place asked for.
    Place PlaceOf(qsizetype offset);

    struct ReadPlace
    {
        QByteArray target;
        Place place;
    };
    // Today's web: the links read, and the next one to hand out.
    QList<ReadPlace> m_read;
    bool m_bRead = false;
    qsizetype m_nextRead = 0;

    QByteArray m_page;
    qsizetype m_cursor = 0;
    qsizetype m_counted = 0; // lines are counted up to here
    int m_line = 1;
    qsizetype m_lineStart = 0;
};
