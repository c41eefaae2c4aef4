#pragma once

#include <string_view>
#include <vector>

#include <QByteArray>
#include <QList>

// What repairs made of one line of a page: the places in its original text
// where a URL gave way to the file's name, the URLs kept in comments at the
// line's end, and how many times the whole line was made a comment.
struct RepairMarks
{
    struct Replacement
    {
        qsizetype at = 0;
        qsizetype length = 0;
    };

    std::vector<Replacement> replaced; // in the order of the line, apart
    QList<QByteArray> kept;            // in the order they were written
    int wraps = 0;

    bool IsEmpty() const { return replaced.empty() && wraps == 0; }
    // True when [at, at + length) overlaps a replaced URL.
    bool Covers(qsizetype at, qsizetype length) const;
    // The first replacement that ends after at.
    std::vector<Replacement>::const_iterator FirstEndingAfter(qsizetype at) const;
    void Replace(qsizetype at, const QByteArray &url);
};

// The line's text as the repairs leave it (without its ending).
QByteArray ComposeLine(std::string_view original, const RepairMarks &marks,
                       std::string_view fileName);

// Finds the fewest marks that turn original into repaired (a line of the page
// called fileName); false when repaired is not a repair of original.
bool MatchRepairedLine(std::string_view original, std::string_view repaired,
                       std::string_view fileName, RepairMarks *marks);

// True when the page read from pageFd is its original, read from originalFd,
// or a repair of it: the same lines with the same endings, each line its
// original or a repair of it. Both are read from their start and left there.
bool IsRepairOf(int pageFd, int originalFd, std::string_view fileName);
