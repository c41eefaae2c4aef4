#pragma once

#include <functional>

#include <QBasicTimer>
#include <QLabel>
#include <QUrl>

#include "controls/colorref.h"

// A text label that works as a live link: drawn underlined in the link
// colour, a pointing hand over it, opened through the desktop when clicked or
// when Enter or Space is pressed while it has the focus. Whether the link has
// been opened lives in an integer flag owned by the label's creator, so that
// the visited colour outlasts the dialog the label sits in.
class CStaticLink final : public QLabel
{
    Q_OBJECT

public:
    using Opener = std::function<bool(const QUrl &)>;
    using Beeper = std::function<void()>;

    // For one second after an open, further clicks are ignored, so that a
    // double click opens the link once.
    static constexpr int TIMER_JUST_CLICKED = 106;
    static constexpr int JUST_CLICKED_MS = 1000;

    explicit CStaticLink(const QString &text, QWidget *parent = nullptr);

    // The owner's flag for this link: 1 once opened. Null means the link
    // keeps no visited state beyond its own life.
    void SetVisitedFlag(int *pnVisited);
    bool IsVisited() const;

    // The target; empty means the label's own text (an e-mail address there
    // is opened as a new mail).
    void SetLink(const QString &link);
    QUrl Target() const;

    // The colour the text is drawn in now, as a colour value.
    ColorRef CurrentColor() const;

    // How the link is opened and how a failure is signalled; by default the
    // desktop's handler for the address and the system beep. Tests replace them.
    void SetOpener(Opener opener);
    void SetBeeper(Beeper beeper);

    // Opens the link as a click does: a beep if the desktop cannot open it,
    // else the link is marked visited. Ignored for a second after an open.
    void OnClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void UpdateLinkLook();

    ColorRef m_colorUnvisited = RGBRef(0, 0, 255);
    ColorRef m_colorVisited = RGBRef(128, 0, 128);
    // The flag used while the owner has given none.
    int m_nOwnVisited = 0;
    int *m_pnVisited = &m_nOwnVisited;
    QString m_strLink;
    bool m_bPressed = false;
    QBasicTimer m_timerJustClicked;
    Opener m_opener;
    Beeper m_beeper;
};
