#include "colorpalette.h"

namespace {

struct NamedColor
{
    ColorRef value;
    const char *name;
};

// The twenty static colours of the standard system palette, in cell order.
constexpr std::array<NamedColor, CColorPalette::kCellCount> kDefaultColors{{
    {0x000000, "Black"},    {0x000080, "Dark red"}, {0x008000, "Dark green"},
    {0x008080, "Olive"},    {0x800000, "Navy"},     {0x800080, "Purple"},
    {0x808000, "Teal"},     {0xC0C0C0, "Silver"},   {0xC0DCC0, "Money green"},
    {0xF0CAA6, "Sky blue"}, {0xF0FBFF, "Cream"},    {0xA4A0A0, "Medium grey"},
    {0x808080, "Grey"},     {0x0000FF, "Red"},      {0x00FF00, "Green"},
    {0x00FFFF, "Yellow"},   {0xFF0000, "Blue"},     {0xFF00FF, "Magenta"},
    {0xFFFF00, "Cyan"},     {0xFFFFFF, "White"},
}};

// Alternating outwards from the middle, so that cell 10 is replaced first,
// then 9, 11, 8, 12 and so on.
constexpr std::array<std::uint8_t, CColorPalette::kCellCount> kDefaultAges{
    1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2};

constexpr std::array<ColorRef, CColorPalette::kCellCount> DefaultPalette()
{
    std::array<ColorRef, CColorPalette::kCellCount> palette{};
    for (int i = 0; i < CColorPalette::kCellCount; ++i)
        palette[i] = kDefaultColors[i].value;
    return palette;
}

} // namespace

std::array<ColorRef, CColorPalette::kCellCount> CColorPalette::s_crPalette = DefaultPalette();
std::array<std::uint8_t, CColorPalette::kCellCount> CColorPalette::s_nPaletteAge = kDefaultAges;

void CColorPalette::ChooseCell(int cell)
{
    const std::uint8_t age = s_nPaletteAge.at(cell);
    for (std::uint8_t &other : s_nPaletteAge) {
        if (other < age)
            ++other;
    }
    s_nPaletteAge[cell] = 1;
}

int CColorPalette::ChooseColor(ColorRef color)
{
    int chosen = -1;
    for (int i = 0; i < kCellCount && chosen < 0; ++i) {
        if (s_crPalette[i] == color)
            chosen = i;
    }
    if (chosen < 0) {
        // The ages are a permutation of 1 to 20: the oldest cell has age 20.
        chosen = 0;
        for (int i = 1; i < kCellCount; ++i) {
            if (s_nPaletteAge[i] > s_nPaletteAge[chosen])
                chosen = i;
        }
        s_crPalette[chosen] = color;
    }
    ChooseCell(chosen);
    return chosen;
}

QString CColorPalette::ColorName(ColorRef color)
{
    for (const NamedColor &named : kDefaultColors) {
        if (named.value == color)
            return QString::fromLatin1(named.name);
    }
    return ColorFromRef(color).name();
}

void CColorPalette::ResetToDefaults()
{
    s_crPalette = DefaultPalette();
    s_nPaletteAge = kDefaultAges;
}
