#include "colorpopup.h"

#include <QColorDialog>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "controls/colorcell.h"
#include "controls/dialogunits.h"

namespace {

constexpr int kColumns = 4;
// The cells' places in dialog units: four columns, five rows.
constexpr std::array<int, kColumns> kCellLeft{1, 13, 25, 37};
constexpr std::array<int, 5> kCellTop{1, 12, 24, 36, 48};
constexpr int kCellWidth = 11;
constexpr int kCellHeight = 10;

std::optional<QColor> AskSystemColorDialog(QWidget *parent)
{
    const QColor color = QColorDialog::getColor(QColor(Qt::black), parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

} // namespace

CColorPopup::CColorPopup(QWidget *button)
    : QFrame(button, Qt::Popup), m_pButton(button), m_otherColor(AskSystemColorDialog)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAccessibleName(QStringLiteral("Colors"));

    const CDialogUnits units(font());
    for (int i = 0; i < CColorPalette::kCellCount; ++i) {
        auto *cell = new CColorCell(this);
        cell->setGeometry(
            units.Rect(kCellLeft[i % kColumns], kCellTop[i / kColumns], kCellWidth, kCellHeight));
        connect(cell, &QAbstractButton::clicked, this, [this, i] { OnCell(i); });
        m_cells[i] = cell;
    }
    m_btnOther = new QPushButton(QStringLiteral("Other..."), this);
    m_btnOther->setGeometry(units.Rect(1, 60, 47, 11));
    m_btnOther->setAutoDefault(false);
    // The colour dialog opens after the press has returned (see the button).
    connect(m_btnOther, &QPushButton::clicked, this, &CColorPopup::OnOther, Qt::QueuedConnection);
    setFixedSize(units.X(49), units.Y(73));
}

CColorPopup::~CColorPopup()
{
    if (m_loop)
        m_loop->exit();
}

int CColorPopup::exec()
{
    if (m_loop)
        return QDialog::Rejected;
    // Another button's popup may have changed the shared palette.
    for (int i = 0; i < CColorPalette::kCellCount; ++i)
        m_cells[i]->SetColor(CColorPalette::Color(i));

    const QRect button(m_pButton->mapToGlobal(QPoint(0, 0)), m_pButton->size());
    const QScreen *screen = m_pButton->screen();
    // The popup has no frame: its place is that of its contents.
    setGeometry(QRect(
        Placement(button, size(), screen ? screen->geometry() : QRect(button.topLeft(), size())),
        size()));

    m_result = QDialog::Rejected;
    QPointer<CColorPopup> alive(this);
    QEventLoop loop;
    m_loop = &loop;
    show();
    m_cells[m_nSelected >= 0 ? m_nSelected : 0]->setFocus(Qt::PopupFocusReason);
    loop.exec(QEventLoop::DialogExec);
    if (!alive)
        return QDialog::Rejected;
    m_loop = nullptr;
    return m_result;
}

QPoint CColorPopup::Placement(const QRect &button, const QSize &popup, const QRect &screen)
{
    const int screenRight = screen.left() + screen.width();
    const int screenBottom = screen.top() + screen.height();
    QRect place(QPoint(button.left(), button.top() + button.height()), popup);
    if (place.top() + place.height() > screenBottom)
        place.moveTop(button.top() - popup.height());
    if (place.left() + place.width() > screenRight)
        place.moveLeft(screenRight - popup.width());
    // A button partly off the left edge still gets a popup that can be reached.
    if (place.left() < screen.left())
        place.moveLeft(screen.left());
    return place.topLeft();
}

void CColorPopup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Close(QDialog::Rejected);
        return;
    }
    QFrame::keyPressEvent(event);
}

void CColorPopup::mousePressEvent(QMouseEvent *event)
{
    // A press on the owning button closes the popup and ends there, rather
    // than reaching the button afterwards and opening the popup again.
    const QRect button(m_pButton->mapToGlobal(QPoint(0, 0)), m_pButton->size());
    if (button.contains(event->globalPosition().toPoint()))
        setAttribute(Qt::WA_NoMouseReplay);
    QFrame::mousePressEvent(event);
}

void CColorPopup::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    // A press outside the popup, Escape, or anything else that hides it ends
    // the popup; m_result is Cancel unless a colour was chosen.
    if (m_loop && !m_bAskingOther)
        m_loop->exit();
}

void CColorPopup::OnCell(int cell)
{
    CColorPalette::ChooseCell(cell);
    m_nSelected = cell;
    Close(QDialog::Accepted);
}

void CColorPopup::OnOther()
{
    // The popup holds the mouse and keyboard while shown, so it steps aside
    // for the colour dialog, and comes back if the user cancels there.
    QPointer<CColorPopup> alive(this);
    m_bAskingOther = true;
    hide();
    const std::optional<QColor> color = m_otherColor(m_pButton->window());
    if (!alive)
        return;
    m_bAskingOther = false;
    if (!color) {
        if (m_loop) {
            show();
            m_btnOther->setFocus(Qt::PopupFocusReason);
        }
        return;
    }
    m_nSelected = CColorPalette::ChooseColor(RefFromColor(*color));
    Close(QDialog::Accepted);
}

void CColorPopup::Close(int code)
{
    m_result = code;
    hide();
    if (m_loop)
        m_loop->exit();
}
