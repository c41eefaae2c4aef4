#include "locallinks.h"

#include <sys/stat.h>

#include <QFile>
#include <QUrl>

#include "discovery/linkextractor.h"
#include "discovery/pagelinks.h"
#include "engine/resultcategories.h"

namespace {

bool IsDirectory(const QByteArray &path)
{
    struct stat info
    {};
    return stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const QByteArray &path)
{
    struct stat info
    {};
    return stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// Pages whose fragments can be looked for.
bool IsPagePath(const QByteArray &path)
{
    const QByteArray lower = path.toLower();
    return lower.endsWith(".html") || lower.endsWith(".htm") || lower.endsWith(".xhtml") ||
           lower.endsWith(".shtml");
}

} // namespace

bool CLocalLinks::IsLocalLink(const QByteArray &link)
{
    return link.left(5).compare("file:", Qt::CaseInsensitive) == 0;
}

std::uint32_t CLocalLinks::Check(const QByteArray &link)
{
    const QUrl url = QUrl::fromEncoded(link);
    QByteArray path = QFile::encodeName(url.toLocalFile());
    if (path.isEmpty())
        return PROBE_ERR_LOCAL_NOT_FOUND;
    if (IsDirectory(path)) {
        const QByteArray directory = path.endsWith('/') ? path : path + '/';
        if (IsFile(directory + "index.html"))
            path = directory + "index.html";
        else if (IsFile(directory + "index.htm"))
            path = directory + "index.htm";
        else
            return PROBE_ERR_LOCAL_NOT_FOUND;
    } else if (!IsFile(path)) {
        return PROBE_ERR_LOCAL_NOT_FOUND;
    }
    const QByteArray fragment = url.fragment(QUrl::FullyDecoded).toUtf8();
    if (!url.hasFragment() || fragment.isEmpty() ||
        fragment.compare("top", Qt::CaseInsensitive) == 0 || !IsPagePath(path))
        return PROBE_LOCAL_FOUND;
    const QSet<QByteArray> *anchors = AnchorsOf(path);
    if (anchors == nullptr)
        return PROBE_ERR_LOCAL_NOT_FOUND;
    return anchors->contains(fragment) ? PROBE_LOCAL_FOUND : PROBE_ERR_FRAGMENT_NOT_FOUND;
}

const QSet<QByteArray> *CLocalLinks::AnchorsOf(const QByteArray &path)
{
    auto known = m_anchors.find(path);
    if (known == m_anchors.end()) {
        QByteArray page;
        std::optional<QSet<QByteArray>> anchors;
        if (ReadPage(path, page, nullptr))
            anchors = ReadPageAnchors(std::string_view(page.constData(), page.size()));
        known = m_anchors.insert(path, std::move(anchors));
    }
    return known->has_value() ? &**known : nullptr;
}
