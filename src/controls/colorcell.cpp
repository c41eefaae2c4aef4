#include "colorcell.h"

#include <QPainter>

#include "controls/colorpalette.h"

CColorCell::CColorCell(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    SetColor(m_crColor);
}

void CColorCell::SetColor(ColorRef color)
{
    m_crColor = color;
    const QString name = CColorPalette::ColorName(color);
    setAccessibleName(name);
    setToolTip(name);
    update();
}

QSize CColorCell::sizeHint() const
{
    return QSize(16, 16);
}

void CColorCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(m_crColor));
    if (!hasFocus())
        return;
    // The field has no border of its own; keyboard focus shows as a frame
    // drawn in black and white, visible on any colour.
    const QRect frame = rect().adjusted(1, 1, -2, -2);
    painter.setPen(Qt::white);
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(frame);
}
