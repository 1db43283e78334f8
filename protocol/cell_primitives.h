// Screen cell primitives of the 20 x 4 display: cell addressing by 1-based
// column and row, filtered character output, unfiltered cell writes and
// read-back, strings, clearing, centring, scrolling and cursor style.
//
// Every routine works on the controller it is given, through the controller
// operations only, and takes no lock: the display session holds its lock
// around a whole routine and requests the repaint after releasing it. No
// routine requests a repaint.
//
// Rows start at the display addresses the rasteriser shows them from
// (row_start_table, display/rasteriser.h); a row other than 1..4 uses row 1.
// Columns are not limited: the address of (column, row) is
// (column - 1 + row start) mod 128.
#pragma once

#include <cstdint>
#include <optional>

#include "display/lcd_controller.h"

// The display address of the cell, as goto_cell moves to it.
uint8_t cell_address(uint8_t column, uint8_t row);
// The code put_char writes for a character: 0x5C becomes glyph 3, and
// 0x08..0x1F, 0x7F, 0xFE and 0xFF are skipped (none).
std::optional<uint8_t> filtered_char(uint8_t character);

// Moves the address counter to the cell (Set DDRAM address).
void goto_cell(LcdController& lcd, uint8_t column, uint8_t row);
// Writes the character unfiltered at the cell; the counter moves on.
void put_char_at(LcdController& lcd, uint8_t character, uint8_t column, uint8_t row);
// Reads the byte at the cell; the counter moves on.
uint8_t get_char_at(LcdController& lcd, uint8_t column, uint8_t row);
// The controller's address counter (lcd_get_address), unchanged.
int32_t get_address(const LcdController& lcd);
// Filtered write at the address counter (filtered_char): a skipped
// character writes nothing and leaves the counter where it was.
void put_char(LcdController& lcd, uint8_t character);
// put_char for each byte before the first 0.
void put_string(LcdController& lcd, const uint8_t* text);
void put_string(LcdController& lcd, const char* text);
// Clear display, then row 1 column 1.
void clear_screen(LcdController& lcd);
// Twenty plain spaces across the row; the counter ends at its column 1.
void clear_row(LcdController& lcd, uint8_t row);
// Clears the row and writes the text centred (odd spare space to the right).
// Texts of 20 or more characters start at column 1.
void put_centered(LcdController& lcd, uint8_t row, const uint8_t* text);
void put_centered(LcdController& lcd, uint8_t row, const char* text);
// Style 0: instruction 0x00; 1: 0x0E; 2: 0x0D; 3: 0x0C; 4 and above: nothing.
void set_cursor_style(LcdController& lcd, uint8_t style);
// rows == 4 scrolls all four rows, any other value rows 2..4. The row that
// comes free is cleared with plain spaces; cells move unfiltered.
void scroll_up(LcdController& lcd, uint8_t rows);
void scroll_down(LcdController& lcd, uint8_t rows);
