#pragma once

#include <vector>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

// Patterns of links that a run leaves untested: regular expressions (Perl
// syntax) searched for anywhere in the address a link is tested at, so
// "^https://example\.com/" names one site and "\.pdf$" every PDF. They come
// from the command line, from a list in the settings, and from an ignore file
// (one pattern a line; blank lines and lines that begin with # are skipped).
class CLinkExclusions
{
public:
    // The file in a site's root directory whose patterns every run there uses.
    static constexpr const char *kIgnoreFileName = ".vantrelignore";

    // Empty when the pattern can be used; else why not, naming it.
    static QString PatternProblem(const QString &pattern);

    // Adds the pattern; false, with why (naming it), when it is not valid.
    bool Add(const QString &pattern, QString *why = nullptr);
    // Adds each pattern line of text; where names the text in a problem
    // ("FILE line 3"). False at the first pattern that is not valid, the
    // patterns before it added.
    bool AddLines(const QByteArray &text, const QString &where, QString *why = nullptr);
    // Adds the pattern lines of the file. A file that does not exist adds
    // nothing when missingOk; any other failure to read it is one.
    bool AddFile(const QByteArray &path, bool missingOk, QString *why = nullptr);
    void Append(const CLinkExclusions &other);
    // The patterns of the stored list (one a line); one that is not valid,
    // which the Settings dialog never stores, is passed over.
    static CLinkExclusions FromSetting(const QByteArray &text);

    bool IsEmpty() const { return m_patterns.empty(); }
    bool Matches(const QByteArray &address) const;

private:
    // Visits the pattern lines of text with their line numbers (from 1),
    // until visit returns false.
    template <typename Visit> static void ForEachPatternLine(const QByteArray &text, Visit visit);

    std::vector<QRegularExpression> m_patterns;
};
