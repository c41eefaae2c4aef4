#include "repairprogress.h"

#include <memory>

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How often the progress window shows the pages done.
constexpr int kUpdateMs = 100;

} // namespace

CRepairProgressDlg::CRepairProgressDlg(QWidget *parent, RepairWatch &watch)
    : QDialog(parent), m_watch(watch)
{
    setWindowTitle(QStringLiteral("Repairing Links"));
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto *layout = new QVBoxLayout(this);
    m_pages = new QLabel(this);
    m_pages->setMinimumWidth(320);
    layout->addWidget(m_pages);
    m_bar = new QProgressBar(this);
    m_bar->setAccessibleName(QStringLiteral("Pages repaired"));
    layout->addWidget(m_bar);
    auto *buttons = new QDialogButtonBox(this);
    m_stop = buttons->addButton(QStringLiteral("Stop"), QDialogButtonBox::RejectRole);
    m_stop->setToolTip(QStringLiteral("Stop before the next page; pages repaired so far stay "
                                      "repaired, the others stay as they are"));
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    layout->addWidget(buttons);
    UpdateData();
}

void CRepairProgressDlg::UpdateData()
{
    const int pages = m_watch.pages;
    const int done = std::min(m_watch.pagesDone.load(), pages);
    if (m_watch.stop) {
        m_pages->setText(QStringLiteral("Stopping after the page being repaired..."));
    } else {
        m_pages->setText(
            QStringLiteral("Repairing the report's pages: %1 of %2 done").arg(done).arg(pages));
    }
    m_bar->setRange(0, std::max(pages, 1));
    m_bar->setValue(done);
}

void CRepairProgressDlg::reject()
{
    m_watch.stop = true;
    m_stop->setEnabled(false);
    UpdateData();
}

void CRepairProgressDlg::closeEvent(QCloseEvent *event)
{
    reject();
    event->ignore();
}

CRepairOutcome RepairOffThread(QWidget *parent, CLinkRepair &repair, const QByteArray &report,
                               int type, int showAfterMs)
{
    RepairWatch watch;
    CRepairOutcome outcome;
    const std::unique_ptr<QThread> worker(
        QThread::create([&] { outcome = repair.Repair(report, type, &watch); }));
    CRepairProgressDlg progress(parent, watch);
    QEventLoop loop;
    // Queued: the thread tells of its end from itself; the loop hears it here.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, &progress, [&progress] {
        progress.UpdateData();
        progress.show();
    });
    QTimer update;
    QObject::connect(&update, &QTimer::timeout, &progress, [&progress] {
        if (progress.isVisible())
            progress.UpdateData();
    });
    worker->start();
    show.start(showAfterMs);
    update.start(kUpdateMs);
    loop.exec();
    worker->wait();
    return outcome;
}
