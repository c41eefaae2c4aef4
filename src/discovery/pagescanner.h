#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <QList>
#include <QObject>

#include "discovery/linkextractor.h"

// Scans the pages of a run on a thread of its own, in the run's order and
// ahead of their turn, so that reading and scanning large pages does not hold
// up the window. What it holds stays within a budget of source bytes and a
// number of pages; a page longer than the budget is left for its turn. The
// owner takes the scans in order on its own thread.
class CPageScanner final : public QObject
{
public:
    static constexpr qint64 kBudget = 4 * 1024 * 1024;
    static constexpr int kMaxPages = 1024;

    enum class Look
    {
        // Its scan is ready: Front() holds it.
        Ready,
        // It is being scanned or will be; onScanned tells when it has come.
        Coming,
        // It will not be: nothing is scanned, or the page is not among those
        // still to come.
        Never
    };

    // onScanned is called on the owner's thread once a scan that was asked
    // for and was not ready has come.
    explicit CPageScanner(std::function<void()> onScanned);
    ~CPageScanner() override;

    CPageScanner(const CPageScanner &) = delete;
    CPageScanner &operator=(const CPageScanner &) = delete;

    // Starts over with the pages, in the order they will be taken up.
    void Start(const QList<QByteArray> &pages, LinkRule rule, const QByteArray &siteRoot);
    // Ends the scanning and forgets every scan.
    void Stop();

    // Where path's scan stands. The pages before it are passed over: their
    // scans are given up.
    Look Find(const QByteArray &path);
    // The scan Find said was ready, and taking it.
    const ScannedFile &Front() const { return m_scans.front().scan; }
    ScannedFile TakeFront();

private:
    struct Held
    {
        int index = 0;
        ScannedFile scan;
    };

    void Run(QList<QByteArray> pages, LinkRule rule, QByteArray siteRoot);
    // With the lock held: gives up the scans of the pages passed over.
    void DropPassed();

    std::function<void()> m_onScanned;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_room;
    // All below under m_mutex.
    std::deque<Held> m_scans;
    qint64 m_heldBytes = 0;
    bool m_stop = false;
    // The owner waits for a scan that was not ready.
    bool m_wanted = false;
    // The pages, and the one the owner takes up next.
    QList<QByteArray> m_pages;
    int m_cursor = 0;
};
