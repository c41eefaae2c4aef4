#include "colorpickerbutton.h"

#include <QDialog>
#include <QPainter>
#include <QPointer>

#include "controls/colorpalette.h"
#include "controls/colorpopup.h"

namespace {

const QColor kBlack(0, 0, 0);
const QColor kShadow(0x80, 0x80, 0x80);
const QColor kWhite(255, 255, 255);

// Lines are drawn as rectangles one pixel thick in the widget's own pixels,
// so that the painter scales them whole to the screen's pixels and a 3-D
// frame stays sharp at any device-pixel ratio. Both take the end points
// inclusive, in either order.
void HLine(QPainter &painter, int x1, int x2, int y, const QColor &color)
{
    painter.fillRect(QRect(qMin(x1, x2), y, qAbs(x2 - x1) + 1, 1), color);
}

void VLine(QPainter &painter, int x, int y1, int y2, const QColor &color)
{
    painter.fillRect(QRect(x, qMin(y1, y2), 1, qAbs(y2 - y1) + 1), color);
}

void Dot(QPainter &painter, int x, int y, const QColor &color)
{
    painter.fillRect(QRect(x, y, 1, 1), color);
}

} // namespace

CColorPickerButton::CColorPickerButton(QWidget *parent)
    : QPushButton(parent), m_dlgPopup(new CColorPopup(this))
{
    setAutoDefault(false);
    SetColor(m_crColor);
    // The popup runs from the event loop, after the click has returned: a
    // press by an assistive tool gets its answer before the popup opens.
    connect(this, &QAbstractButton::clicked, this, &CColorPickerButton::OnClicked,
            Qt::QueuedConnection);
}

void CColorPickerButton::SetColor(ColorRef color)
{
    m_crColor = color;
    // The colour shown, for the accessibility interface.
    setAccessibleDescription(CColorPalette::ColorName(color));
    update();
}

QSize CColorPickerButton::sizeHint() const
{
    return QSize(80, 28);
}

void CColorPickerButton::OnClicked()
{
    QPointer<CColorPickerButton> alive(this);
    const int result = m_dlgPopup->exec();
    if (alive && result == QDialog::Accepted)
        SetColor(CColorPalette::Color(m_dlgPopup->Selected()));
}

void CColorPickerButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Item rectangle: right and bottom are one past the last pixel.
    int left = 0;
    int top = 0;
    int right = width();
    int bottom = height();
    painter.fillRect(rect(), palette().color(QPalette::Button));

    if (!isDown()) {
        // Raised: black outer edge bottom and right, grey inside it, white
        // highlight top and left.
        HLine(painter, left, right - 2, bottom - 1, kBlack);
        VLine(painter, right - 1, bottom - 1, top + 1, kBlack);
        HLine(painter, left + 1, right - 3, bottom - 2, kShadow);
        VLine(painter, right - 2, bottom - 2, top + 2, kShadow);
        HLine(painter, right - 2, left + 2, top + 1, kWhite);
        VLine(painter, left + 1, top + 1, bottom - 3, kWhite);
    } else {
        // Sunken: grey and black top and left, white bottom and right; the
        // content then moves one pixel right and down.
        VLine(painter, left, bottom - 1, top + 1, kShadow);
        HLine(painter, left, right - 2, top, kShadow);
        VLine(painter, right - 1, top, bottom - 2, kWhite);
        HLine(painter, right - 1, left + 2, bottom - 1, kWhite);
        VLine(painter, left + 1, bottom - 2, top + 2, kBlack);
        HLine(painter, left + 1, right - 3, top + 1, kBlack);
        ++left;
        ++top;
        ++right;
        ++bottom;
    }

    // Separator between the swatch and the arrow.
    VLine(painter, right - 10, top + 4, bottom - 5, kWhite);
    VLine(painter, right - 11, top + 4, bottom - 5, kShadow);

    // The drop-down arrow: rows of five, three and one pixels.
    const int middle = bottom / 2;
    const bool enabled = isEnabled();
    const QColor &arrow = enabled ? kBlack : kShadow;
    HLine(painter, right - 8, right - 4, middle - 1, arrow);
    HLine(painter, right - 7, right - 5, middle, arrow);
    if (enabled) {
        Dot(painter, right - 6, middle + 1, kBlack);
    } else {
        // Engraved: a white highlight at the right end of each row.
        Dot(painter, right - 4, middle - 1, kWhite);
        Dot(painter, right - 5, middle, kWhite);
        Dot(painter, right - 6, middle + 1, kWhite);
    }

    // The swatch, black-framed; a disabled button shows none.
    if (enabled) {
        const QRect swatch(QPoint(left + 5, top + 4), QPoint(right - 16, bottom - 5));
        if (swatch.isValid()) {
            painter.fillRect(swatch, kBlack);
            painter.fillRect(swatch.adjusted(1, 1, -1, -1), ColorFromRef(m_crColor));
        }
    }

    if (hasFocus()) {
        for (int x = left + 3; x < right - 4; x += 2) {
            Dot(painter, x, top + 3, kBlack);
            Dot(painter, x, bottom - 4, kBlack);
        }
        for (int y = top + 3; y < bottom - 4; y += 2) {
            Dot(painter, left + 3, y, kBlack);
            Dot(painter, right - 4, y, kBlack);
        }
    }
}
