#include "filelisting.h"

#include <utility>

#include <QThread>

CFileListing::CFileListing(QObject *parent) : QObject(parent) {}

CFileListing::~CFileListing()
{
    if (m_thread) {
        m_watch.stop = true;
        m_thread->wait();
    }
}

void CFileListing::Start(const QByteArray &path, bool subDirectories, bool allFiles)
{
    if (IsListing())
        return;
    m_watch.stop = false;
    m_watch.found = 0;
    m_path = path;
    m_files.clear();
    m_thread.reset(QThread::create([this, path, subDirectories, allFiles] {
        m_files = QueueRunFiles(path, subDirectories, allFiles, &m_watch);
    }));
    // Queued: the thread tells of its end from itself, the window hears it on its own.
    connect(m_thread.get(), &QThread::finished, this, &CFileListing::OnThreadFinished,
            Qt::QueuedConnection);
    m_thread->start();
}

void CFileListing::Stop()
{
    m_watch.stop = true;
}

void CFileListing::OnThreadFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
    const bool stopped = m_watch.stop.load();
    QList<QByteArray> files = std::exchange(m_files, {});
    if (!stopped)
        Q_EMIT listed(m_path, files);
    Q_EMIT ended();
}
