#pragma once

#include <QPushButton>

#include "controls/colorref.h"

class CColorPopup;

// A push button that shows a colour as a swatch beside a drop-down arrow; a
// click opens the palette popup and takes the colour chosen there.
class CColorPickerButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit CColorPickerButton(QWidget *parent = nullptr);

    ColorRef Color() const { return m_crColor; }
    void SetColor(ColorRef color);

    CColorPopup &Popup() { return *m_dlgPopup; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void OnClicked();

    ColorRef m_crColor = RGBRef(255, 255, 255);
    CColorPopup *m_dlgPopup;
};
