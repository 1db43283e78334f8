// The emulated character display controller: instruction decoding, data
// access and the address-counter wrap rules. See lcd_controller.h for the
// digest of the behaviour modelled.
#include "display/lcd_controller.h"

#include <algorithm>
#include <new>

namespace {

// Row of the dot at row r of a CGRAM slot byte: bit 7 is the top row.
constexpr uint8_t cgram_row_bit(int32_t row) {
    return static_cast<uint8_t>(0x80u >> row);
}

// Set DDRAM address (1xxxxxxx), in order of precedence: the two-byte graphic
// address, the graphic variant's word address, the text variant's address.
void set_ddram_address(LcdController& c, uint8_t b) {
    if (c.graphic_on) {
        if (c.gdram_row_latch == 0xFF) {
            c.gdram_row_latch = b & 0x1F;
        } else {
            c.gdram_cursor = 32 * c.gdram_row_latch + 2 * (b & 0x0F);
            c.gdram_row_latch = 0xFF;
        }
    } else if (lcd_is_graphic(c)) {
        c.ddram_cursor = 2 * (b & 0x3F);
    } else {
        c.ddram_cursor = b & 0x7F;
    }
    c.cgram_cursor = lcd_no_cursor;
}

// Function set (001xxxxx): only the graphic variant has RE and G.
void function_set(LcdController& c, uint8_t b) {
    if (!lcd_is_graphic(c)) return;
    c.extended_set = (b >> 2) & 1;
    if (c.extended_set) c.graphic_on = (b >> 1) & 1;
}

// Moves the display shift. Only its value modulo row_stride is ever shown,
// so once it grows very large it is folded back (keeping its residue) rather
// than left to overflow under endless shifting in one direction.
void shift_display(LcdController& c, int32_t delta) {
    constexpr int32_t fold_limit = 1 << 30;
    c.display_shift += delta;
    if (c.display_shift > fold_limit || c.display_shift < -fold_limit) {
        c.display_shift %= c.row_stride;
    }
}

// Cursor or display shift (0001xxxx): S/C selects display shift or cursor
// move, R/L the direction.
void cursor_or_display_shift(LcdController& c, uint8_t b) {
    const bool right = (b & 0x04) != 0;
    if (b & 0x08) {
        shift_display(c, right ? -1 : 1);
    } else if (right) {
        lcd_address_up(c);
    } else {
        lcd_address_down(c);
    }
}

void return_home(LcdController& c) {
    c.ddram_cursor = 0;
    c.display_shift = 0;
}

}  // namespace

std::unique_ptr<LcdController> lcd_create(int32_t columns, int32_t rows, uint32_t rom_select) {
    const bool graphic = columns == 115 && rows == 64;
    if (graphic) {
        columns = 16;
        rows = 4;
    }
    columns = std::clamp(columns, 8, 40);
    rows = std::clamp(rows, 1, 4);
    if (rows == 3) rows = 2;

    // A controller whose record or areas cannot be allocated is not created:
    // nothing in the program could use one with a memory missing.
    try {
        auto c = std::make_unique<LcdController>();
        c->columns = columns;
        c->rows = rows;
        c->rom_select = rom_select;
        c->ddram.fill(0x20);
        c->cgram.fill(0xAA);
        if (graphic) {
            c->gdram.assign(lcd_gdram_size, 0);
            c->dot_width = 115;
            c->dot_height = 64;
            c->row_stride = 16;
        } else {
            c->dot_width = 6 * columns;
            c->dot_height = 9 * rows + 8;
            c->row_stride = rows == 1 ? 80 : rows == 2 ? 40 : 20;
        }
        c->dot_count = c->dot_width * c->dot_height;
        c->dots.assign(static_cast<size_t>(c->dot_count), 0);
        return c;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void lcd_destroy(std::unique_ptr<LcdController>& controller) {
    controller.reset();
}

void lcd_command(LcdController& c, uint8_t b) {
    if (b & 0x80) {
        set_ddram_address(c, b);
    } else if (b & 0x40) {
        c.cgram_cursor = b & 0x3F;
    } else if (b & 0x20) {
        function_set(c, b);
    } else if (b & 0x10) {
        cursor_or_display_shift(c, b);
    } else if (b & 0x08) {
        c.display_control = b;
    } else if (b & 0x04) {
        c.entry_mode = b;
    } else if (b & 0x02) {
        return_home(c);
    } else if (b & 0x01) {
        c.ddram.fill(0x20);
        return_home(c);
    }
}

void lcd_address_up(LcdController& c) {
    int32_t n = c.ddram_cursor + 1;
    if (lcd_is_graphic(c)) {
        if (n >= 64) n = 0;
    } else if (c.rows == 1) {
        if (n >= 80) n = 0;
    } else if (n == 0x28) {
        n = 0x40;
    } else if (n == 0x68 || n >= 128) {
        n = 0;
    }
    c.ddram_cursor = n;
}

void lcd_address_down(LcdController& c) {
    int32_t n = c.ddram_cursor - 1;
    if (lcd_is_graphic(c)) {
        if (n == -1) n = 63;
    } else if (c.rows == 1) {
        if (n == -1) n = 79;
    } else if (n == -1) {
        n = 0x67;
    } else if (n == 0x3F) {
        n = 0x27;
    }
    c.ddram_cursor = n;
}

void lcd_advance(LcdController& c) {
    const bool increment = (c.entry_mode & 0x02) != 0;
    if (c.cgram_cursor != lcd_no_cursor) {
        c.cgram_cursor = (c.cgram_cursor + (increment ? 1 : 127)) & 0x7F;
    } else if (c.graphic_on) {
        c.gdram_cursor = c.gdram_cursor + 1 >= lcd_gdram_wrap ? 0 : c.gdram_cursor + 1;
    } else {
        if (c.entry_mode & 0x01) shift_display(c, increment ? 1 : -1);
        if (increment) {
            lcd_address_up(c);
        } else {
            lcd_address_down(c);
        }
    }
}

void lcd_write_data(LcdController& c, uint8_t v) {
    if (c.cgram_cursor != lcd_no_cursor) {
        const int32_t slot = c.cgram_cursor / 8;
        const uint8_t bit = cgram_row_bit(c.cgram_cursor % 8);
        for (int32_t x = 0; x < 5; ++x) {
            uint8_t& column = c.cgram[static_cast<size_t>(8 * slot + x)];
            column = (v & (0x10 >> x)) ? column | bit : column & ~bit;
        }
    } else if (c.graphic_on) {
        c.gdram[static_cast<size_t>(c.gdram_cursor)] = v;
    } else {
        c.ddram[static_cast<size_t>(c.ddram_cursor)] = v;
    }
    lcd_advance(c);
}

uint8_t lcd_read_data(LcdController& c) {
    uint8_t v = 0;
    if (c.cgram_cursor != lcd_no_cursor) {
        const int32_t slot = c.cgram_cursor / 8;
        const uint8_t bit = cgram_row_bit(c.cgram_cursor % 8);
        for (int32_t x = 0; x < 5; ++x) {
            if (c.cgram[static_cast<size_t>(8 * slot + x)] & bit) {
                v = static_cast<uint8_t>(v | 0x10 >> x);
            }
        }
    } else {
        v = c.ddram[static_cast<size_t>(c.ddram_cursor)];
    }
    lcd_advance(c);
    return v;
}

int32_t lcd_get_address(const LcdController& c) {
    if (c.cgram_cursor != lcd_no_cursor) return c.cgram_cursor & 0x3F;
    const int32_t address = c.ddram_cursor & 0x7F;
    return lcd_is_graphic(c) ? address / 2 : address;
}
