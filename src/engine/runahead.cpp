#include "runahead.h"

#include <algorithm>

#include "discovery/linkextractor.h"
#include "engine/probedisplay.h"
#include "engine/urlparts.h"

CRunAhead::CRunAhead(PoolListener &listener, TimerService &timers, AsyncResolver &resolver,
                     const ProbePorts &ports, PoolTimers timerIds)
    : m_pool(listener, timers, resolver, ports, timerIds)
{}

void CRunAhead::SetLimits(int total, int perHost)
{
    m_nWindow = total <= 1 ? 1 : std::max(kMinWindow, 8 * total);
    m_pool.SetLimits(total, perHost);
}

void CRunAhead::Begin(int protocol, LinkRule rule, const QByteArray &siteRoot)
{
    m_rule = rule;
    m_siteRoot = siteRoot;
    m_lookAhead.SetRule(rule, siteRoot);
    Clear();
    m_nProtocol = protocol;
}

void CRunAhead::SetGivenLinks(const GivenLinks *given)
{
    m_given = given;
    m_lookAhead.SetGivenLinks(given);
}

void CRunAhead::ScanElsewhere(const QList<QByteArray> &files, std::function<void()> onScanned)
{
    m_onScanned = std::move(onScanned);
    m_scanner.Start(files, m_rule, m_siteRoot);
    m_lookAhead.SetScanner(&m_scanner);
}

bool CRunAhead::AwaitingScan(const QByteArray &path)
{
    if (m_lookAhead.Held() > 0 && m_lookAhead.At(0).path == path)
        return false;
    if (m_given != nullptr && m_given->contains(path))
        return false;
    return m_scanner.Find(path) == CPageScanner::Look::Coming;
}

void CRunAhead::Clear(ProbeDisplay *display)
{
    if (display != nullptr && m_bHeadSeen && m_pool.Head() != nullptr) {
        m_pool.EndAll();
        ShowHeadDisplay(*display, true);
    }
    m_lookAhead.SetScanner(nullptr);
    m_scanner.Stop();
    ClearAhead();
}

void CRunAhead::ClearAhead()
{
    m_pool.Clear();
    m_lookAhead.Clear();
    m_fed.clear();
    m_nFeedFile = 0;
    m_nCurrentFed = 0;
    m_bHeadSeen = false;
}

void CRunAhead::Feed(const QList<QByteArray> &current, const QList<QByteArray> &files)
{
    while (m_pool.Held() < m_nWindow) {
        if (m_nCurrentFed < current.size()) {
            Add(current.at(m_nCurrentFed));
            ++m_nCurrentFed;
            continue;
        }
        while (m_nFeedFile < m_lookAhead.Held() &&
               m_fed[m_nFeedFile] >= m_lookAhead.At(m_nFeedFile).urls.size())
            ++m_nFeedFile;
        if (m_nFeedFile < m_lookAhead.Held()) {
            Add(m_lookAhead.At(m_nFeedFile).urls.at(m_fed[m_nFeedFile]));
            ++m_fed[m_nFeedFile];
            continue;
        }
        if (!m_lookAhead.ScanNext(files))
            return;
        m_fed.push_back(0);
    }
}

bool CRunAhead::TakeUpFile(const QByteArray &path, const QByteArray &splitCopyPath,
                           QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why,
                           int *httpsLeftOut)
{
    // Every link of the file before has been taken, so the pool now starts
    // with this file's links, if any were handed on.
    m_nCurrentFed = 0;
    const bool held = m_lookAhead.Held() > 0;
    std::optional<ScannedFile> scan = m_lookAhead.TakeFront(path);
    int fed = 0;
    if (scan) {
        fed = m_fed.front();
        m_fed.pop_front();
        m_nFeedFile = std::max(0, m_nFeedFile - 1);
    } else {
        if (held) {
            // The files changed under the look-ahead: start afresh from here.
            ClearAhead();
        }
        if (m_given != nullptr && m_given->contains(path)) {
            const ScannedFile &given = (*m_given)[path];
            urls += given.urls;
            anchors += given.anchors;
            if (httpsLeftOut != nullptr)
                *httpsLeftOut += given.httpsLeftOut;
            return true;
        }
        // Scanned elsewhere, unless it was too long to hold there.
        if (m_scanner.Find(path) == CPageScanner::Look::Ready &&
            m_scanner.Front().result != ScannedFile::Result::TooBig)
            scan = m_scanner.TakeFront();
        else
            return ExtractLinks(path, splitCopyPath, urls, anchors, why, m_rule, httpsLeftOut,
                                m_siteRoot);
    }

    bool scanned = scan->result == ScannedFile::Result::Scanned;
    if (!scanned && why != nullptr)
        *why = scan->why;
    if (scanned && !scan->given && m_rule == LinkRule::Classic)
        scanned = StoreSplitCopy(scan->splitCopy, splitCopyPath, why);
    if (!scanned) {
        for (int i = 0; i < fed; ++i)
            m_pool.ReleaseHead();
        return false;
    }
    if (httpsLeftOut != nullptr)
        *httpsLeftOut += scan->httpsLeftOut;
    urls += scan->urls;
    anchors += scan->anchors;
    m_nCurrentFed = fed;
    return true;
}

bool CRunAhead::FirstLookAtHead()
{
    if (m_bHeadSeen)
        return false;
    m_bHeadSeen = true;
    m_nHeadAttempt = m_pool.Head()->attempt;
    m_nHeadShown = 0;
    return true;
}

void CRunAhead::ShowHeadDisplay(ProbeDisplay &display, bool afterOutcome)
{
    const PoolJob &head = *m_pool.Head();
    if (head.attempt != m_nHeadAttempt) {
        // Put back for want of descriptors and started again: its display
        // starts afresh.
        m_nHeadAttempt = head.attempt;
        m_nHeadShown = 0;
    }
    const std::size_t upTo =
        head.done && !afterOutcome ? head.stepsBeforeOutcome : head.display.size();
    for (; m_nHeadShown < upTo; ++m_nHeadShown)
        display.ShowStatus(head.display[m_nHeadShown]);
}

void CRunAhead::ReleaseHead()
{
    m_bHeadSeen = false;
    m_pool.ReleaseHead();
    if (m_nCurrentFed > 0)
        --m_nCurrentFed;
}

void CRunAhead::Add(const QByteArray &link)
{
    // As the driver sets it before each probe: a link of neither scheme keeps
    // the protocol of the link before.
    const char first = link.isEmpty() ? '\0' : link.at(0);
    if (first == 'H' || first == 'h')
        m_nProtocol = PROTOCOL_HTTP;
    else if (first == 'F' || first == 'f')
        m_nProtocol = PROTOCOL_FTP;
    if (m_settle) {
        if (const std::optional<ProbeOutcome> settled = m_settle(link, m_nProtocol)) {
            m_pool.AddSettled(link, m_nProtocol, *settled);
            return;
        }
    }
    m_pool.Add(link, m_nProtocol);
}
