#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QObject>

#include "discovery/directorywalk.h"

class QThread;

// Lists the files of a run on a thread of its own, so that the window keeps
// answering while a large tree is walked. The window learns of the end
// through listed(), on its own thread; a listing that is stopped ends
// without it.
class CFileListing final : public QObject
{
    Q_OBJECT

public:
    explicit CFileListing(QObject *parent = nullptr);
    // Stops a listing in flight and waits for its thread.
    ~CFileListing() override;

    CFileListing(const CFileListing &) = delete;
    CFileListing &operator=(const CFileListing &) = delete;

    // Lists the files as QueueRunFiles does; ignored while a listing lasts.
    void Start(const QByteArray &path, bool subDirectories, bool allFiles);
    // The listing ends soon after, without listed().
    void Stop();
    bool IsListing() const { return m_thread != nullptr; }
    // Files found so far.
    int Found() const { return m_watch.found.load(std::memory_order_relaxed); }

Q_SIGNALS:
    // Every file of the run named by path, in the walk's order.
    void listed(const QByteArray &path, const QList<QByteArray> &files);
    // The listing ended, listed or stopped.
    void ended();

private:
    void OnThreadFinished();

    WalkWatch m_watch;
    QByteArray m_path;
    // Written by the thread only, read once it has finished.
    QList<QByteArray> m_files;
    std::unique_ptr<QThread> m_thread;
};
