#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "controls/colorref.h"

// The colour palette shared by every colour button for the whole program run.
// It is not stored: each start begins from the twenty static colours of the
// standard system palette. Each cell has an age, a permutation of 1 to 20
// where 1 is the cell chosen most recently; a new colour from "Other..."
// replaces the cell chosen least recently (age 20).
class CColorPalette
{
public:
    static constexpr int kCellCount = 20;

    CColorPalette() = delete;

    static ColorRef Color(int cell) { return s_crPalette.at(cell); }
    static int Age(int cell) { return s_nPaletteAge.at(cell); }

    // Makes the cell the most recently chosen one: it gets age 1 and every
    // cell that was more recent than it grows one older.
    static void ChooseCell(int cell);
    // Chooses the first cell that holds the colour; when none does, the least
    // recently chosen cell takes the colour. Returns the chosen cell.
    static int ChooseColor(ColorRef color);

    // The colour's name for the accessibility interface and tool tips: the
    // name of a standard colour ("Dark red"), else "#rrggbb".
    static QString ColorName(ColorRef color);

    // Back to the colours and ages of a fresh program start (for tests).
    static void ResetToDefaults();

private:
    // The program-wide palette and the ages of its cells.
    static std::array<ColorRef, kCellCount> s_crPalette;
    static std::array<std::uint8_t, kCellCount> s_nPaletteAge;
};
