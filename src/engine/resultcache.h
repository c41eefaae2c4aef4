#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QString>

// Results of links that passed, kept between runs so that a run soon after
// asks nothing of their servers. A failure is never kept: it is asked again
// each run. The file is text, one link a line after a first line that names
// the format:
//   vantrel link cache 1
//   <seconds since 1970 when tested> TAB <c|w: classic or today's web> TAB <code> TAB <address>
class CResultCache
{
public:
    // The file, in the system directory, that --cache uses unless told another.
    static constexpr const char *kDefaultFileName = "link-cache.txt";

    explicit CResultCache(qint64 maxAgeSeconds) : m_maxAge(maxAgeSeconds) {}

    // Reads the entries of the file. A missing file is an empty cache. A file
    // that cannot be read, or that is damaged, gives a warning: the cache
    // starts empty (keeping what could be read of a damaged one of ours), and
    // a file that is not a cache of ours is never written over.
    void Load(const QByteArray &path, QString *warning);
    // Writes the entries still young enough into the file it was loaded from,
    // atomically, when any changed. False, with why, when it could not.
    bool Save(QString *why);

    // The code a passed link answered with, when it was tested within the age.
    std::optional<int> Lookup(const QByteArray &address, bool todaysWeb, qint64 now) const;
    // Keeps a passed link's code, or forgets a link that did not pass.
    void Store(const QByteArray &address, bool todaysWeb, std::optional<int> passedCode,
               qint64 now);
    // Whether an address can be kept: an http or https one that fits a line.
    static bool Cacheable(const QByteArray &address);

private:
    struct Entry
    {
        qint64 tested = 0;
        int code = 0;
    };
    static QByteArray Key(const QByteArray &address, bool todaysWeb);

    qint64 m_maxAge;
    QByteArray m_path;
    bool m_writable = false;
    bool m_changed = false;
    QHash<QByteArray, Entry> m_entries;
};
