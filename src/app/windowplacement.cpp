#include "windowplacement.h"

#include <algorithm>

#include "settings/regsettings.h"

namespace {

constexpr char kSection[] = "Screen";

} // namespace

bool IsUsablePlacement(const WindowPlacement &placement, const QRect &screen)
{
    const int left = placement.x - screen.x();
    const int top = placement.y - screen.y();
    return placement.cx > 0 && placement.cy > 0 && left >= 0 && top >= 0 &&
           placement.cx <= screen.width() && placement.cy <= screen.height() &&
           left <= screen.width() && top <= screen.height();
}

WindowPlacement DefaultPlacement(const QRect &screen)
{
    WindowPlacement placement;
    placement.cx = static_cast<int>(screen.width() * 0.75);
    placement.cy = static_cast<int>(screen.height() * 0.75);
    placement.x = screen.x() + (screen.width() - placement.cx) / 2;
    placement.y = screen.y() + (screen.height() - placement.cy) / 2;
    return placement;
}

WindowPlacement StartPlacement(CRegSettings &settings, const QRect &screen)
{
    WindowPlacement stored;
    stored.x = settings.ReadInt(kSection, "x", 0);
    stored.y = settings.ReadInt(kSection, "y", 0);
    stored.cx = settings.ReadInt(kSection, "cx", 0);
    stored.cy = settings.ReadInt(kSection, "cy", 0);
    if (IsUsablePlacement(stored, screen))
        return stored;
    const WindowPlacement fallback = DefaultPlacement(screen);
    WritePlacement(settings, fallback);
    return fallback;
}

WindowPlacement MovedPlacement(const QPoint &corner, const QSize &size)
{
    return {std::max(corner.x(), 0), std::max(corner.y(), 0), size.width(), size.height()};
}

void WritePlacement(CRegSettings &settings, const WindowPlacement &placement)
{
    settings.WriteInt(kSection, "x", placement.x);
    settings.WriteInt(kSection, "y", placement.y);
    settings.WriteInt(kSection, "cx", placement.cx);
    settings.WriteInt(kSection, "cy", placement.cy);
}
