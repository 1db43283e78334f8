// The display rasteriser: cell addressing and the dot matrix.
//
// lcd_render runs at every paint, so it works directly on the dot rows: the
// cursor and display-on flags are decided once per render, the cell addresses
// of a row are stepped rather than divided out, each cell's dots are written
// through a pointer to its top-left dot, and the only call per cell is the
// glyph lookup. The graphic variant's text
// layer is clipped at the matrix's right edge (cells 14 and 15 reach past
// x = 114); graphic RAM rows are 112 dots wide and leave x = 112..114 alone.
#include "display/rasteriser.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "app/shell_state.h"
#include "display/char_generator.h"

namespace {

// Dot values of the matrix.
constexpr uint8_t dot_off = 0;
constexpr uint8_t dot_on = 1;
constexpr uint8_t dot_display_off = 255;

// Cursor bits of display_control.
constexpr uint8_t cursor_block = 0x01;
constexpr uint8_t cursor_underline = 0x02;
constexpr uint8_t display_on_bit = 0x04;

// Text-variant cell: 5 glyph columns plus a gap column, 8 glyph rows plus the
// cursor row.
constexpr int32_t cell_width = 6;
constexpr int32_t cell_height = 9;
constexpr int32_t glyph_columns = 5;
constexpr int32_t glyph_rows = 8;

// Graphic-variant cell and graphic-RAM line layout.
constexpr int32_t wide_cell_width = 8;
constexpr int32_t wide_cell_height = 16;
constexpr int32_t gdram_line_bytes = 32;
constexpr int32_t gdram_half_offset = 16;  // the lower half-screen row in a line
constexpr int32_t gdram_row_bytes = 14;    // 112 dots per graphic row
constexpr int32_t graphic_rows = 64;
static_assert(lcd_gdram_size >= 31 * gdram_line_bytes + gdram_half_offset + gdram_row_bytes,
              "every graphic-RAM line byte the rasteriser reads lies inside graphic RAM");

// The cursor to draw this render: the C and B bits of display_control, with
// B dropped during the blink's off phase.
uint8_t visible_cursor(const LcdController& c) {
    uint8_t cursor = c.display_control & (cursor_underline | cursor_block);
    if ((cursor & cursor_block) && blink_phase == 1) cursor &= ~cursor_block;
    return cursor;
}

// One text row's display-RAM addresses, column by column, as
// lcd_cell_address gives them, stepping the offset instead of dividing for
// every cell (columns beyond row_stride wrap the same way).
struct RowWalk {
    int32_t start;  // the address at offset 0
    int32_t offset;
    int32_t stride;

    int32_t next() {
        const int32_t a = start + offset;
        if (++offset == stride) offset = 0;
        return a;
    }
};

RowWalk row_walk(LcdController& c, int32_t row) {
    const int32_t first = lcd_cell_address(c, row, 0);  // also normalises the shift
    const int32_t offset = c.display_shift % c.row_stride;
    return {first - offset, offset, c.row_stride};
}

void render_text_cells(LcdController& c) {
    const uint8_t cursor = visible_cursor(c);
    const bool on = (c.display_control & display_on_bit) != 0;
    const size_t width = static_cast<size_t>(c.dot_width);
    for (int32_t i = 0; i < c.rows; ++i) {
        uint8_t* row_origin = c.dots.data() + static_cast<size_t>(cell_height * i) * width;
        RowWalk addresses = row_walk(c, i);
        for (int32_t j = 0; j < c.columns; ++j) {
            const int32_t a = addresses.next();
            uint8_t* cell = row_origin + static_cast<size_t>(cell_width * j);
            if (!on) {
                for (int32_t k = 0; k < cell_height; ++k) {
                    std::memset(cell + k * width, dot_display_off, glyph_columns);
                }
                continue;
            }
            const std::span<const uint8_t> g = lcd_glyph(c, c.ddram[static_cast<size_t>(a)]);
            for (int32_t k = 0; k < glyph_rows; ++k) {
                uint8_t* line = cell + k * width;
                const int32_t bit = 7 - k;
                for (int32_t l = 0; l < glyph_columns; ++l) {
                    line[l] = static_cast<uint8_t>((g[static_cast<size_t>(l)] >> bit) & 1);
                }
            }
            uint8_t* cursor_row = cell + glyph_rows * width;
            std::memset(cursor_row, dot_off, glyph_columns);
            if (cursor == 0 || c.ddram_cursor != a) continue;
            if (cursor & cursor_block) {
                for (int32_t k = 0; k < cell_height; ++k) {
                    std::memset(cell + k * width, dot_on, glyph_columns);
                }
            } else {
                std::memset(cursor_row, dot_on, glyph_columns);
            }
        }
    }
}

// The graphic variant's text layer: 8 x 16 cells without gaps, clipped at
// the right edge of the matrix.
void render_wide_cells(LcdController& c) {
    const uint8_t cursor = visible_cursor(c);
    const bool on = (c.display_control & display_on_bit) != 0;
    const size_t width = static_cast<size_t>(c.dot_width);
    for (int32_t i = 0; i < c.rows; ++i) {
        uint8_t* row_origin = c.dots.data() + static_cast<size_t>(wide_cell_height * i) * width;
        RowWalk addresses = row_walk(c, i);
        for (int32_t j = 0; j < c.columns; ++j) {
            const int32_t a = addresses.next();
            const int32_t x0 = wide_cell_width * j;
            const int32_t shown = std::min(wide_cell_width, c.dot_width - x0);
            if (shown <= 0) continue;
            const size_t shown_dots = static_cast<size_t>(shown);
            uint8_t* cell = row_origin + static_cast<size_t>(x0);
            if (!on) {
                for (int32_t k = 0; k < wide_cell_height; ++k) {
                    std::memset(cell + k * width, dot_display_off, shown_dots);
                }
                continue;
            }
            const bool has_cursor = cursor != 0 && c.ddram_cursor == a;
            const std::span<const uint8_t> g = lcd_glyph(c, c.ddram[static_cast<size_t>(a)]);
            for (int32_t k = 0; k < wide_cell_height; ++k) {
                uint8_t* line = cell + k * width;
                const bool solid =
                    has_cursor && ((cursor & cursor_block) || k == wide_cell_height - 1);
                if (solid) {
                    std::memset(line, dot_on, shown_dots);
                    continue;
                }
                const uint8_t bits = g[static_cast<size_t>(k)];
                for (int32_t l = 0; l < shown; ++l) {
                    line[l] = static_cast<uint8_t>((bits >> (7 - l)) & 1);
                }
            }
        }
    }
}

// Graphic RAM: dot row r comes from line r mod 32, bytes 0..13 for the upper
// half of the screen and bytes 16..29 for the lower half.
void render_graphic_ram(LcdController& c) {
    const size_t width = static_cast<size_t>(c.dot_width);
    const int32_t half = graphic_rows / 2;
    for (int32_t r = 0; r < graphic_rows; ++r) {
        const uint8_t* source =
            c.gdram.data() + (r % half) * gdram_line_bytes + (r < half ? 0 : gdram_half_offset);
        uint8_t* line = c.dots.data() + static_cast<size_t>(r) * width;
        for (int32_t n = 0; n < gdram_row_bytes; ++n) {
            const uint8_t bits = source[n];
            for (int32_t b = 0; b < 8; ++b) {
                line[8 * n + b] = static_cast<uint8_t>((bits >> (7 - b)) & 1);
            }
        }
    }
}

}  // namespace

int32_t lcd_cell_address(LcdController& c, int32_t row, int32_t column) {
    row = std::clamp(row, 0, c.rows - 1);
    const int32_t stride = c.row_stride;
    // Adding row_stride until the shift is no longer negative, in one step.
    if (c.display_shift < 0) {
        c.display_shift %= stride;
        if (c.display_shift < 0) c.display_shift += stride;
    }
    const int32_t offset = (c.display_shift % stride + column % stride + stride) % stride;
    int32_t start = 0;
    if (c.rows > 1) {
        start = lcd_is_graphic(c) ? 2 * graphic_row_start_table[static_cast<size_t>(row)]
                                  : row_start_table[static_cast<size_t>(row)];
    }
    return start + offset;
}

void lcd_render(LcdController& c) {
    if (!lcd_is_graphic(c)) {
        render_text_cells(c);
    } else if (c.graphic_on) {
        render_graphic_ram(c);
    } else {
        render_wide_cells(c);
    }
}
