#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "discovery/lookahead.h"
#include "discovery/pagescanner.h"
#include "engine/probepool.h"

class ProbeDisplay;

// The links of a run, handed to the probe pool in link order: the rest of the
// current file, then the links of the files after it, which the look-ahead
// scans in memory before their turn. The pool holds a bounded window of links,
// however many the run has; one link at a time it holds only the one in flight,
// so that nothing is scanned or probed before its turn.
class CRunAhead
{
public:
    // Links in the pool at most with more than one at once: at least this
    // many, and a few times the total limit, so that a slow host's links do
    // not keep the others' from starting.
    static constexpr int kMinWindow = 4096;

    CRunAhead(PoolListener &listener, TimerService &timers, AsyncResolver &resolver,
              const ProbePorts &ports, PoolTimers timerIds);

    void SetLimits(int total, int perHost);
    void SetTimeout(int milliseconds) { m_pool.SetTimeout(milliseconds); }
    void SetPolite(const PoliteSettings &settings) { m_pool.SetPolite(settings); }

    // A run begins with nothing handed on yet. protocol: that of the link
    // before the first one to come (a link of neither scheme keeps it). rule:
    // the run's, by which the files ahead are scanned (siteRoot: that of
    // today's web reading).
    void Begin(int protocol, LinkRule rule, const QByteArray &siteRoot = {});
    // Ends every probe and forgets everything scanned ahead. With a display,
    // what the head's probe shows as it ends quietly (the wait cursor going)
    // is shown there, once its start has been shown.
    void Clear(ProbeDisplay *display = nullptr);
    // Decides, before a link is handed to the pool, whether its outcome is
    // known without a probe (an excluded link, a cached result).
    using Settler =
        std::function<std::optional<ProbeOutcome>(const QByteArray &link, int protocol)>;
    void SetSettler(Settler settler) { m_settle = std::move(settler); }
    // Pages whose links are given rather than scanned (a re-test's); the
    // caller keeps them while the run lasts.
    void SetGivenLinks(const GivenLinks *given);
    // Scans the files of the run, head first, on a thread of their own from
    // now until the run is cleared; onScanned tells when a scan that was
    // waited for has come.
    void ScanElsewhere(const QList<QByteArray> &files, std::function<void()> onScanned);
    // The file's scan is being made elsewhere and has not come yet: the
    // driver waits for it rather than scanning it itself.
    bool AwaitingScan(const QByteArray &path);

    // Fills the pool up to its window. current: the links of the current file
    // that the driver has not taken yet, head first; files: the files still to
    // be taken up, head first.
    void Feed(const QList<QByteArray> &current, const QList<QByteArray> &files);
    // The driver takes up files' head: appends its links and anchors, from its
    // scan ahead or from a scan now, and writes its split copy to its work file.
    // False, with why, when the file could not be scanned; its probes end.
    // httpsLeftOut is raised as ExtractLinks raises it.
    bool TakeUpFile(const QByteArray &path, const QByteArray &splitCopyPath,
                    QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why,
                    int *httpsLeftOut);

    // The probe of the driver's head link (Feed hands it on first), or null.
    const PoolJob *Head() const { return m_pool.Head(); }
    // True the first time it is asked for the current head: its start is to
    // be shown.
    bool FirstLookAtHead();
    // The current head's start has been shown.
    bool HeadSeen() const { return m_bHeadSeen; }
    // Shows what the head's probe has shown and was not shown yet: up to its
    // outcome, or with afterOutcome what came while it closed after it.
    void ShowHeadDisplay(ProbeDisplay &display, bool afterOutcome);
    // The driver is done with its head link.
    void ReleaseHead();
    bool OnTimer(int id) { return m_pool.OnTimer(id); }

    const CProbePool &Pool() const { return m_pool; }
    const CLookAhead &LookAhead() const { return m_lookAhead; }

private:
    void Add(const QByteArray &link);
    // Forgets what was scanned and handed on ahead, and ends every probe.
    void ClearAhead();

    CProbePool m_pool;
    CLookAhead m_lookAhead;
    std::function<void()> m_onScanned;
    CPageScanner m_scanner{[this] {
        if (m_onScanned)
            m_onScanned();
    }};
    // Links handed on, for each file the look-ahead holds.
    std::deque<int> m_fed;
    // The first held file whose links have not all been handed on.
    int m_nFeedFile = 0;
    // Links of the current file in the pool.
    int m_nCurrentFed = 0;
    int m_nProtocol = 1;
    LinkRule m_rule = LinkRule::Classic;
    QByteArray m_siteRoot;
    const GivenLinks *m_given = nullptr;
    Settler m_settle;
    int m_nWindow = kMinWindow;
    // What of the head has been shown: its start, and the steps of its
    // display of which attempt.
    bool m_bHeadSeen = false;
    int m_nHeadAttempt = 0;
    std::size_t m_nHeadShown = 0;
};
