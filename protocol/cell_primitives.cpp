// Screen cell primitives of the 20 x 4 display.
//
// Every routine is a short sequence of controller operations on the given
// controller
// (Set DDRAM address, data writes and reads, Clear display, Display on/off
// control); none keeps state of its own. Cell addresses are formed in 8-bit
// arithmetic without clamping, so out-of-range columns reach neighbouring or
// invisible display-RAM addresses exactly as the device expects. The display
// session holds its lock around a whole routine.
#include "protocol/cell_primitives.h"

#include <array>
#include <cstring>

#include "display/rasteriser.h"

namespace {

constexpr int32_t screen_columns = 20;

// Row start of a 1-based row; any row other than 1..4 uses row 1.
uint8_t row_start_of(uint8_t row) {
    const size_t index = row >= 1 && row <= row_start_table.size() ? row - 1u : 0;
    return static_cast<uint8_t>(row_start_table[index]);
}

// Copies the 20 cells of one row into another, unfiltered.
void copy_row(LcdController& lcd, uint8_t from_row, uint8_t to_row) {
    for (uint8_t column = 1; column <= screen_columns; ++column) {
        put_char_at(lcd, get_char_at(lcd, column, from_row), column, to_row);
    }
}

}  // namespace

uint8_t cell_address(uint8_t column, uint8_t row) {
    return static_cast<uint8_t>((column - 1 + row_start_of(row)) & 0x7F);
}

std::optional<uint8_t> filtered_char(uint8_t character) {
    if (character == 0x5C) return 0x03;
    if ((character >= 0x08 && character <= 0x1F) || character == 0x7F || character >= 0xFE) {
        return std::nullopt;
    }
    return character;
}

void goto_cell(LcdController& lcd, uint8_t column, uint8_t row) {
    lcd_command(lcd, static_cast<uint8_t>(0x80 | cell_address(column, row)));
}

void put_char_at(LcdController& lcd, uint8_t character, uint8_t column, uint8_t row) {
    goto_cell(lcd, column, row);
    lcd_write_data(lcd, character);
}

uint8_t get_char_at(LcdController& lcd, uint8_t column, uint8_t row) {
    goto_cell(lcd, column, row);
    return lcd_read_data(lcd);
}

int32_t get_address(const LcdController& lcd) {
    return lcd_get_address(lcd);
}

void put_char(LcdController& lcd, uint8_t character) {
    if (const std::optional<uint8_t> code = filtered_char(character)) lcd_write_data(lcd, *code);
}

void put_string(LcdController& lcd, const uint8_t* text) {
    for (; *text != 0; ++text) put_char(lcd, *text);
}

void put_string(LcdController& lcd, const char* text) {
    put_string(lcd, reinterpret_cast<const uint8_t*>(text));
}

void clear_screen(LcdController& lcd) {
    lcd_command(lcd, 0x01);
    goto_cell(lcd, 1, 1);
}

void clear_row(LcdController& lcd, uint8_t row) {
    goto_cell(lcd, 1, row);
    for (int32_t i = 0; i < screen_columns; ++i) put_char(lcd, 0x20);
    goto_cell(lcd, 1, row);
}

void put_centered(LcdController& lcd, uint8_t row, const uint8_t* text) {
    clear_row(lcd, row);
    // A text as wide as the row or wider starts at column 1; shorter ones
    // get the odd spare cell on the right.
    const size_t length = std::strlen(reinterpret_cast<const char*>(text));
    const auto start =
        static_cast<uint8_t>(length >= screen_columns ? 1 : (screen_columns - length) / 2 + 1);
    goto_cell(lcd, start, row);
    put_string(lcd, text);
}

void put_centered(LcdController& lcd, uint8_t row, const char* text) {
    put_centered(lcd, row, reinterpret_cast<const uint8_t*>(text));
}

void set_cursor_style(LcdController& lcd, uint8_t style) {
    static constexpr std::array<uint8_t, 4> instruction = {0x00, 0x0E, 0x0D, 0x0C};
    if (style < instruction.size()) lcd_command(lcd, instruction[style]);
}

void scroll_up(LcdController& lcd, uint8_t rows) {
    const uint8_t first = rows == 4 ? 1 : 2;
    for (uint8_t r = first; r <= 3; ++r) copy_row(lcd, static_cast<uint8_t>(r + 1), r);
    clear_row(lcd, 4);
}

void scroll_down(LcdController& lcd, uint8_t rows) {
    const uint8_t top = rows == 4 ? 1 : 2;
    for (uint8_t r = 4; r > top; --r) copy_row(lcd, static_cast<uint8_t>(r - 1), r);
    clear_row(lcd, top);
}
