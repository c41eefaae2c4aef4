#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QHash>
#include <QSet>

// Links to files of the site (file: URLs, as today's web reading resolves
// them), answered from the disk without any network. A directory stands for
// its index.html or index.htm; percent-encoded names are decoded. A fragment
// must name an id or an a name of the target page ("#top" and an empty one
// always do). Each target page is read once for its anchors, however many
// links point at it, until Forget.
class CLocalLinks
{
public:
    static bool IsLocalLink(const QByteArray &link);

    // PROBE_LOCAL_FOUND, PROBE_ERR_LOCAL_NOT_FOUND or PROBE_ERR_FRAGMENT_NOT_FOUND.
    std::uint32_t Check(const QByteArray &link);
    // Pages may have changed: read them again when next asked.
    void Forget() { m_anchors.clear(); }

private:
    // The page's anchors; null when it cannot be read.
    const QSet<QByteArray> *AnchorsOf(const QByteArray &path);

    QHash<QByteArray, std::optional<QSet<QByteArray>>> m_anchors;
};
