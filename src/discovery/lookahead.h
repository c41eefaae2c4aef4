#pragma once

#include <deque>
#include <optional>

#include <QByteArray>
#include <QList>

#include "discovery/linkextractor.h"

class CPageScanner;

// The files of a run scanned before their turn, in the order they will be
// taken up, so that the probes of their links can start early. Each keeps its
// split copy in memory until its turn. What is held stays within a budget of
// source bytes; a file longer than the whole budget is not scanned ahead, and
// nothing after it is, until its turn has come. Files without links cost
// nothing of the budget, so their number is bounded on its own.
class CLookAhead
{
public:
    static constexpr qint64 kDefaultBudget = 4 * 1024 * 1024;
    static constexpr int kMaxFiles = 1024;

    explicit CLookAhead(qint64 budget = kDefaultBudget) : m_nBudget(budget) {}

    // The rule the files are scanned by from now on, and the site root of
    // today's web reading.
    void SetRule(LinkRule rule, const QByteArray &siteRoot = {})
    {
        m_rule = rule;
        m_siteRoot = siteRoot;
    }
    // Pages whose links are given are not scanned: their given links are
    // taken. The caller keeps them for as long as the look-ahead is used.
    void SetGivenLinks(const GivenLinks *given) { m_given = given; }
    // The files are taken from the scanner, which scans them elsewhere, as
    // long as it has them to come; null: they are scanned here.
    void SetScanner(CPageScanner *scanner) { m_scanner = scanner; }

    // Scans the first file of queue that is not held yet (queue is the files
    // still to be taken up, head first). False when none can be scanned now:
    // none is left, the budget is spent, the file is too long to hold, or
    // its scan is still to come from the scanner.
    bool ScanNext(const QList<QByteArray> &queue);
    // Files held, counted from the head of the queue.
    int Held() const { return static_cast<int>(m_files.size()); }
    ScannedFile &At(int index) { return m_files.at(index); }
    // The head of the queue is being taken up: its scan, if it is held.
    std::optional<ScannedFile> TakeFront(const QByteArray &path);
    void Clear();

private:
    qint64 m_nBudget;
    LinkRule m_rule = LinkRule::Classic;
    QByteArray m_siteRoot;
    const GivenLinks *m_given = nullptr;
    CPageScanner *m_scanner = nullptr;
    qint64 m_nHeldBytes = 0;
    std::deque<ScannedFile> m_files;
    // The next file to scan was found too long to hold: it waits for its turn.
    bool m_bBlocked = false;
};
