#pragma once

#include <QAbstractButton>

#include "controls/colorref.h"

// One cell of the colour popup: a button that is a plain field of its colour.
// It keeps the button role and carries the colour's name, so that it can be
// found and pressed through the accessibility interface.
class CColorCell final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit CColorCell(QWidget *parent);

    ColorRef Color() const { return m_crColor; }
    // Shows the colour and names the cell after it.
    void SetColor(ColorRef color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ColorRef m_crColor = 0;
};
