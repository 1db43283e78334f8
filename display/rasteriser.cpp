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

// Graphic-RAM line layout.
constexpr int32_t gdram_line_bytes = 32;
constexpr int32_t gdram_half_offset = 16;  // the lower half-screen row in a line
constexpr int32_t gdram_row_bytes = 14;    // 112 dots per graphic row
constexpr int32_t graphic_rows = 64;
static_assert(lcd_gdram_size >= 31 * gdram_line_bytes + gdram_half_offset + gdram_row_bytes,
              "every graphic-RAM line byte the rasteriser reads lies inside graphic RAM");

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

// The shape of a text cell in the dot matrix. Text-variant cells are 5 x 8
// glyph dots stored by columns, a cursor row below them and a gap column
// beside them; the graphic variant's cells are 8 x 16 glyph dots stored by
// rows, without gaps, the underline cursor drawn over the last glyph row.
struct CellShape {
    int32_t pitch;          // dots from one cell's left edge to the next
    int32_t height;         // dot rows of a cell
    int32_t glyph_rows;     // rows that show the glyph; any below are blank
    int32_t glyph_columns;  // dots of a glyph row
    int32_t underline_row;  // the cell row of the underline cursor
    bool by_columns;        // glyph bytes are dot columns (else dot rows)
};
constexpr CellShape text_cell{6, 9, 8, 5, 8, true};
constexpr CellShape wide_cell{8, 16, 16, 8, 15, false};

// Dot (row k, column l) of a glyph: 1 if lit.
template <CellShape shape>
uint8_t glyph_dot(std::span<const uint8_t> g, int32_t k, int32_t l) {
    if constexpr (shape.by_columns) {
        return static_cast<uint8_t>((g[static_cast<size_t>(l)] >> (7 - k)) & 1);
    } else {
        return static_cast<uint8_t>((g[static_cast<size_t>(k)] >> (7 - l)) & 1);
    }
}

// Every text cell: the glyph of the code its address shows, the cursor in
// the cell whose address the counter holds, or 255 throughout while the
// display is off. Cells reaching past the matrix's right edge are clipped.
template <CellShape shape>
void render_cells(LcdController& c, int32_t blink_phase) {
    const uint8_t cursor = lcd_visible_cursor(c, blink_phase);
    const bool on = (c.display_control & display_on_bit) != 0;
    const size_t width = static_cast<size_t>(c.dot_width);
    for (int32_t i = 0; i < c.rows; ++i) {
        uint8_t* row_origin = c.dots.data() + static_cast<size_t>(shape.height * i) * width;
        RowWalk addresses = row_walk(c, i);
        for (int32_t j = 0; j < c.columns; ++j) {
            const int32_t a = addresses.next();
            const int32_t x0 = shape.pitch * j;
            const int32_t shown = std::min(shape.glyph_columns, c.dot_width - x0);
            if (shown <= 0) continue;
            const size_t shown_dots = static_cast<size_t>(shown);
            uint8_t* cell = row_origin + static_cast<size_t>(x0);
            if (!on) {
                for (int32_t k = 0; k < shape.height; ++k) {
                    std::memset(cell + k * width, dot_display_off, shown_dots);
                }
                continue;
            }
            const std::span<const uint8_t> g = lcd_glyph(c, c.ddram[static_cast<size_t>(a)]);
            for (int32_t k = 0; k < shape.glyph_rows; ++k) {
                uint8_t* line = cell + k * width;
                for (int32_t l = 0; l < shown; ++l) line[l] = glyph_dot<shape>(g, k, l);
            }
            for (int32_t k = shape.glyph_rows; k < shape.height; ++k) {
                std::memset(cell + k * width, dot_off, shown_dots);
            }
            if (cursor == 0 || c.ddram_cursor != a) continue;
            if (cursor & cursor_block) {
                for (int32_t k = 0; k < shape.height; ++k) {
                    std::memset(cell + k * width, dot_on, shown_dots);
                }
            } else {
                std::memset(cell + shape.underline_row * width, dot_on, shown_dots);
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

uint8_t lcd_visible_cursor(const LcdController& c, int32_t blink_phase) {
    uint8_t cursor = c.display_control & (cursor_underline | cursor_block);
    if ((cursor & cursor_block) && blink_phase == 1) cursor &= ~cursor_block;
    return cursor;
}

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

void lcd_render(LcdController& c, int32_t blink_phase) {
    if (!lcd_is_graphic(c)) {
        render_cells<text_cell>(c, blink_phase);
    } else if (c.graphic_on) {
        render_graphic_ram(c);
    } else {
        render_cells<wide_cell>(c, blink_phase);
    }
}
