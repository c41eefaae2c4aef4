#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class CRegSettings;

// The main window's place on the screen, as "Screen" "x", "y", "cx", "cy"
// keep it: the window's top left corner and its size.
struct WindowPlacement
{
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;

    friend bool operator==(const WindowPlacement &, const WindowPlacement &) = default;
};

// A stored placement is used only when its size is positive and fits the
// screen and its top left corner lies on the screen; the rest of the window
// may reach beyond the screen's edge.
bool IsUsablePlacement(const WindowPlacement &placement, const QRect &screen);

// Three quarters of the screen's width and height, centred on it.
WindowPlacement DefaultPlacement(const QRect &screen);

// The placement the window opens with: the stored one when it is usable on
// the screen, else the default, which is then stored at once.
WindowPlacement StartPlacement(CRegSettings &settings, const QRect &screen);

// What is stored after the window moved or was resized: a corner left of or
// above the screen's origin is stored as 0.
WindowPlacement MovedPlacement(const QPoint &corner, const QSize &size);

void WritePlacement(CRegSettings &settings, const WindowPlacement &placement);
