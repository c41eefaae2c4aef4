#include "lookahead.h"

#include <algorithm>

#include "discovery/pagescanner.h"

bool CLookAhead::ScanNext(const QList<QByteArray> &queue)
{
    if (m_bBlocked || Held() >= queue.size() || Held() >= kMaxFiles)
        return false;
    const qint64 room = m_nBudget - m_nHeldBytes;
    if (room <= 0)
        return false;
    const QByteArray &path = queue.at(Held());
    ScannedFile scan;
    const CPageScanner::Look look =
        m_scanner != nullptr && (m_given == nullptr || !m_given->contains(path))
            ? m_scanner->Find(path)
            : CPageScanner::Look::Never;
    if (look == CPageScanner::Look::Coming)
        return false;
    if (look == CPageScanner::Look::Ready) {
        const ScannedFile &ready = m_scanner->Front();
        if (ready.result == ScannedFile::Result::TooBig || ready.sourceBytes > room) {
            // Left for its turn, or until the files before it are taken up.
            m_bBlocked = ready.sourceBytes > m_nBudget;
            return false;
        }
        scan = m_scanner->TakeFront();
    } else if (m_given != nullptr && m_given->contains(path)) {
        scan = m_given->value(path);
    } else {
        scan = ScanLinksInMemory(path, room, m_rule, m_siteRoot);
    }
    if (scan.result == ScannedFile::Result::TooBig) {
        // Longer than the whole budget: it is scanned at its turn, as always.
        // Otherwise it fits once the files before it have been taken up.
        m_bBlocked = scan.sourceBytes > m_nBudget;
        return false;
    }
    m_nHeldBytes += std::max<qint64>(scan.sourceBytes, 0);
    m_files.push_back(std::move(scan));
    return true;
}

std::optional<ScannedFile> CLookAhead::TakeFront(const QByteArray &path)
{
    if (m_files.empty()) {
        // The file that blocked the look-ahead is being taken up.
        m_bBlocked = false;
        return std::nullopt;
    }
    if (m_files.front().path != path) {
        // Not the file expected: everything held is out of step.
        Clear();
        return std::nullopt;
    }
    ScannedFile scan = std::move(m_files.front());
    m_files.pop_front();
    m_nHeldBytes -= std::max<qint64>(scan.sourceBytes, 0);
    return scan;
}

void CLookAhead::Clear()
{
    m_files.clear();
    m_nHeldBytes = 0;
    m_bBlocked = false;
}
