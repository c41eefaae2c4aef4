#include "pagescanner.h"

#include <algorithm>
#include <utility>

CPageScanner::CPageScanner(std::function<void()> onScanned) : m_onScanned(std::move(onScanned)) {}

CPageScanner::~CPageScanner()
{
    Stop();
}

void CPageScanner::Start(const QList<QByteArray> &pages, LinkRule rule, const QByteArray &siteRoot)
{
    Stop();
    m_stop = false;
    m_pages = pages;
    m_cursor = 0;
    m_thread = std::thread([this, pages, rule, siteRoot] { Run(pages, rule, siteRoot); });
}

void CPageScanner::Stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_scans.clear();
    m_heldBytes = 0;
    m_wanted = false;
    m_pages.clear();
    m_cursor = 0;
}

CPageScanner::Look CPageScanner::Find(const QByteArray &path)
{
    if (!m_thread.joinable())
        return Look::Never;
    std::unique_lock lock(m_mutex);
    int at = m_cursor;
    while (at < m_pages.size() && m_pages.at(at) != path)
        ++at;
    if (at == m_pages.size())
        return Look::Never;
    m_cursor = at;
    DropPassed();
    lock.unlock();
    m_room.notify_all();
    lock.lock();
    if (!m_scans.empty() && m_scans.front().index == m_cursor)
        return Look::Ready;
    if (m_stop)
        return Look::Never;
    m_wanted = true;
    return Look::Coming;
}

ScannedFile CPageScanner::TakeFront()
{
    ScannedFile scan;
    {
        const std::lock_guard lock(m_mutex);
        scan = std::move(m_scans.front().scan);
        m_scans.pop_front();
        if (scan.result != ScannedFile::Result::TooBig)
            m_heldBytes -= std::max<qint64>(scan.sourceBytes, 0);
        ++m_cursor;
    }
    m_room.notify_all();
    return scan;
}

void CPageScanner::DropPassed()
{
    while (!m_scans.empty() && m_scans.front().index < m_cursor) {
        const ScannedFile &scan = m_scans.front().scan;
        if (scan.result != ScannedFile::Result::TooBig)
            m_heldBytes -= std::max<qint64>(scan.sourceBytes, 0);
        m_scans.pop_front();
    }
}

void CPageScanner::Run(QList<QByteArray> pages, LinkRule rule, QByteArray siteRoot)
{
    for (int index = 0; index < pages.size(); ++index) {
        {
            std::unique_lock lock(m_mutex);
            m_room.wait(lock, [this, index] {
                return m_stop || index < m_cursor ||
                       (m_heldBytes < kBudget && std::ssize(m_scans) < kMaxPages);
            });
            if (m_stop)
                return;
            // The owner took this page up without waiting for its scan.
            if (index < m_cursor)
                continue;
        }
        ScannedFile scan = ScanLinksInMemory(pages.at(index), kBudget, rule, siteRoot);
        const std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        if (index < m_cursor)
            continue;
        if (scan.result != ScannedFile::Result::TooBig)
            m_heldBytes += std::max<qint64>(scan.sourceBytes, 0);
        m_scans.push_back({index, std::move(scan)});
        if (std::exchange(m_wanted, false))
            QMetaObject::invokeMethod(
                this, [this] { m_onScanned(); }, Qt::QueuedConnection);
    }
}
