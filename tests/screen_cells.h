// Reading the 20 x 4 screen back in the protocol tests: the code stored in a
// cell (1-based column and row, at the addresses the 4-row geometry gives
// the rows) and a whole row as a string, glyph codes 0..7 as \x0N.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/shell_state.h"

inline constexpr std::array<int, 4> screen_row_address = {0x00, 0x40, 0x14, 0x54};

inline uint8_t cell(int column, int row) {
    return display->ddram[static_cast<size_t>((screen_row_address[row - 1] + column - 1) & 0x7F)];
}

inline std::string row_text(int row) {
    std::string text;
    for (int column = 1; column <= 20; ++column) text += static_cast<char>(cell(column, row));
    return text;
}

// Row 1 as start-up draws it: "RX15", twelve underlined blanks, "TX15".
inline const std::string idle_row = "RX15" + std::string(12, '\x02') + "TX15";
