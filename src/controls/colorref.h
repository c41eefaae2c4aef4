#pragma once

#include <cstdint>

#include <QColor>

// Colours are stored as colour values: red in the low byte, then green, then
// blue (0x00BBGGRR), the form the settings file keeps them in.
using ColorRef = std::uint32_t;

inline constexpr ColorRef RGBRef(int red, int green, int blue)
{
    return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

inline QColor ColorFromRef(ColorRef value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

inline ColorRef RefFromColor(const QColor &color)
{
    return RGBRef(color.red(), color.green(), color.blue());
}
