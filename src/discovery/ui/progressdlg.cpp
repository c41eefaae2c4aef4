#include "progressdlg.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "engine/progressmodel.h"
#include "engine/ui/reporttext.h"

namespace {

// A path or link too long for the window is shortened in the middle; the
// whole text stays the label's tool tip and accessible name.
void SetLongText(QLabel *label, const QByteArray &bytes)
{
    const QString text = DecodeReportPiece(bytes);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
    label->setToolTip(text);
    label->setAccessibleName(text);
}

void ShowBar(QProgressBar *bar, const ProgressBarModel &model)
{
    // An empty range would turn the bar into a busy indicator; it stays empty.
    if (model.upper > model.lower)
        bar->setRange(model.lower, model.upper);
    else
        bar->setRange(0, 1);
    bar->setValue(std::clamp(model.pos, bar->minimum(), bar->maximum()));
}

// The corner of a window of the given size beside the owner's frame: to its
// right, left, below or above, the first side with room on the screen; with
// room on none, in the screen's bottom right-hand corner.
QPoint PlaceBeside(const QRect &owner, const QSize &size, const QRect &screen)
{
    const int top = std::clamp(owner.top(), screen.top(), screen.bottom() - size.height() + 1);
    const int left = std::clamp(owner.left(), screen.left(), screen.right() - size.width() + 1);
    const QRect sides[] = {
        {QPoint(owner.right() + 1, top), size},
        {QPoint(owner.left() - size.width(), top), size},
        {QPoint(left, owner.bottom() + 1), size},
        {QPoint(left, owner.top() - size.height()), size},
    };
    for (const QRect &side : sides) {
        if (screen.contains(side))
            return side.topLeft();
    }
    return screen.bottomRight() - QPoint(size.width(), size.height()) + QPoint(1, 1);
}

QLabel *ValueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CProgressDlg::CProgressDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Testing Progress"));
    setModal(false);

    m_strFileName = ValueLabel(this);
    m_strUrl = ValueLabel(this);
    m_strAnchor = ValueLabel(this);
    m_strFileIndex = ValueLabel(this);
    m_strFileCount = ValueLabel(this);
    m_strUrlIndex = ValueLabel(this);
    m_strUrlCount = ValueLabel(this);
    m_ctlFileProgress = new QProgressBar(this);
    m_ctlFileProgress->setAccessibleName(QStringLiteral("Files tested"));
    m_ctlUrlProgress = new QProgressBar(this);
    m_ctlUrlProgress->setAccessibleName(QStringLiteral("URLs tested"));
    for (QProgressBar *bar : {m_ctlFileProgress, m_ctlUrlProgress}) {
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
    }

    // Each counter line reads "File: 2 of 5", left to right.
    auto counter = [this](const QString &caption, QLabel *index, QLabel *count) {
        auto *line = new QHBoxLayout;
        line->addWidget(new QLabel(caption, this));
        line->addWidget(index);
        line->addWidget(new QLabel(QStringLiteral("of"), this));
        line->addWidget(count);
        line->addStretch();
        return line;
    };

    const int width = fontMetrics().averageCharWidth() * 60;
    auto *grid = new QGridLayout(this);
    grid->setColumnMinimumWidth(1, width);
    grid->addWidget(new QLabel(QStringLiteral("Current File:"), this), 0, 0);
    grid->addWidget(m_strFileName, 0, 1);
    grid->addLayout(counter(QStringLiteral("File:"), m_strFileIndex, m_strFileCount), 1, 0, 1, 2);
    grid->addWidget(m_ctlFileProgress, 2, 0, 1, 2);
    grid->setRowMinimumHeight(3, fontMetrics().height());
    grid->addWidget(new QLabel(QStringLiteral("Current URL:"), this), 4, 0);
    grid->addWidget(m_strUrl, 4, 1);
    grid->addWidget(m_strAnchor, 5, 1);
    grid->addLayout(counter(QStringLiteral("URL:"), m_strUrlIndex, m_strUrlCount), 6, 0, 1, 2);
    grid->addWidget(m_ctlUrlProgress, 7, 0, 1, 2);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *stop = buttons->addButton(QStringLiteral("Stop"), QDialogButtonBox::RejectRole);
    stop->setAutoDefault(false);
    connect(stop, &QPushButton::clicked, this, [this] {
        if (m_onStop)
            m_onStop();
    });
    grid->addWidget(buttons, 8, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    for (QLabel *label : {m_strFileName, m_strUrl, m_strAnchor})
        label->setFixedWidth(width);
}

void CProgressDlg::Create()
{
    adjustSize();
    if (QWidget *owner = parentWidget())
        move(PlaceBeside(owner->window()->frameGeometry(), frameGeometry().size(),
                         owner->screen()->availableGeometry()));
    show();
}

void CProgressDlg::UpdateData(const ProgressModel &progress)
{
    SetLongText(m_strFileName, progress.m_strFileName);
    SetLongText(m_strUrl, progress.m_strUrl);
    SetLongText(m_strAnchor, progress.m_strAnchor);
    m_strFileIndex->setText(QString::fromLatin1(progress.m_strFileIndex));
    m_strFileCount->setText(QString::fromLatin1(progress.m_strFileCount));
    m_strUrlIndex->setText(QString::fromLatin1(progress.m_strUrlIndex));
    m_strUrlCount->setText(QString::fromLatin1(progress.m_strUrlCount));
    ShowBar(m_ctlFileProgress, progress.m_ctlFileProgress);
    ShowBar(m_ctlUrlProgress, progress.m_ctlUrlProgress);
}

void CProgressDlg::closeEvent(QCloseEvent *event)
{
    event->ignore();
}
