#include "filterlistbox.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QStyle>

CFilterListBox::CFilterListBox(const std::array<QByteArray, kCategoryCount> &categoryTexts,
                               QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);

    const QFontMetrics metrics(font());
    for (const QByteArray &text : categoryTexts) {
        auto *row = new QListWidgetItem(QString::fromLatin1(text), this);
        // Checkable but never selectable: nothing is ever highlighted.
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
        m_textWidth = qMax(m_textWidth, metrics.horizontalAdvance(row->text()));
    }
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    for (int i = 0; i < count(); ++i)
        item(i)->setSizeHint(QSize(indicator + m_textWidth + 4 * margin, kRowHeight));
    m_textWidth += indicator + 4 * margin;
    if (count() > 0)
        setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void CFilterListBox::LoadChecks(const QByteArray &filter)
{
    for (int i = 0; i < count(); ++i) {
        const bool reported = i >= filter.size() || filter.at(i) != '0';
        item(i)->setCheckState(reported ? Qt::Checked : Qt::Unchecked);
    }
}

QByteArray CFilterListBox::Filter() const
{
    QByteArray filter;
    for (int i = 0; i < count(); ++i)
        filter.append(item(i)->checkState() == Qt::Unchecked ? '0' : '1');
    return filter;
}

QSize CFilterListBox::sizeHint() const
{
    // Wide enough for the longest text beside its box, tall enough for
    // fourteen rows; the rest scroll.
    const int frame = 2 * frameWidth();
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    return QSize(m_textWidth + scrollBar + frame, 14 * kRowHeight + frame);
}
