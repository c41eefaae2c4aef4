#pragma once

#include <array>
#include <functional>
#include <optional>

#include <QColor>
#include <QFrame>

#include "controls/colorpalette.h"

class CColorCell;
class QEventLoop;
class QPushButton;

// The palette popup of a colour button: the 20 cells of the program-wide
// palette and "Other...", which asks the system colour dialog for any colour.
// It opens at its button and holds the input while open: a cell or a colour
// from "Other..." ends it with OK, a press outside it or Escape with Cancel.
class CColorPopup final : public QFrame
{
    Q_OBJECT

public:
    // Asks the user for any colour; nothing when the user cancels.
    using OtherColorSource = std::function<std::optional<QColor>(QWidget *parent)>;

    // The popup belongs to its button, whose place it opens at.
    explicit CColorPopup(QWidget *button);
    ~CColorPopup() override;

    // Opens the popup and returns, with the event loop kept running meanwhile,
    // QDialog::Accepted once a colour is chosen or QDialog::Rejected.
    int exec();
    // The palette cell chosen the last time the popup ended with OK.
    int Selected() const { return m_nSelected; }

    // Replaces the system colour dialog behind "Other..." (tests).
    void SetOtherColorSource(OtherColorSource source) { m_otherColor = std::move(source); }

    // Where a popup of this size opens for a button at this place, both in
    // screen coordinates: below the button, above it when it would reach
    // below the screen, moved left when it would pass the screen's right edge.
    static QPoint Placement(const QRect &button, const QSize &popup, const QRect &screen);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void OnCell(int cell);
    void OnOther();
    void Close(int code);

    QWidget *m_pButton;
    int m_nSelected = -1;
    std::array<CColorCell *, CColorPalette::kCellCount> m_cells{};
    QPushButton *m_btnOther = nullptr;
    OtherColorSource m_otherColor;
    QEventLoop *m_loop = nullptr;
    int m_result = 0;
    // The popup is hidden while "Other..." asks for a colour; that is no end.
    bool m_bAskingOther = false;
};
