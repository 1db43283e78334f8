// The display rasteriser: turns a controller's state into its dot matrix.
//
// Text variant: the cell of text row i, column j has its top-left dot at
// (6j, 9i) and covers 5 x 9 dots -- glyph rows 0..7 and the cursor row 8.
// The gap column 6j+5 and the 8 dot rows below the last text row are never
// written. Graphic variant: 8 x 16 cells without gaps (dots at x >= 115 are
// dropped), or, with graphic RAM shown, 64 rows of 112 dots.
//
// Dot values: 0 off, 1 on (glyph or cursor), 255 cell of a switched-off
// display. The painter shows every nonzero value lit.
#pragma once

#include <array>
#include <cstdint>

#include "display/lcd_controller.h"

// Display-RAM addresses at which text rows 0..3 start (2 and 4 rows).
inline constexpr std::array<int32_t, 4> row_start_table = {0, 64, 20, 84};
// Word addresses of text rows 0..3 in the graphic variant.
inline constexpr std::array<int32_t, 4> graphic_row_start_table = {0, 16, 8, 24};

// The display-RAM address (byte offset into ddram) shown in a cell. Rows
// beyond the last use the last; each row rotates within its own row_stride
// by the display shift. A negative display_shift is normalised in place.
int32_t lcd_cell_address(LcdController& c, int32_t row, int32_t column);

// The cursor a render draws: the C (underline, 0x02) and B (block, 0x01)
// bits of display_control, with B dropped while blink_phase is 1.
uint8_t lcd_visible_cursor(const LcdController& c, int32_t blink_phase);

// Rewrites every dot that a cell or graphic RAM covers from the current
// state; a blinking block cursor is hidden while blink_phase is 1 (the phase
// comes from the blink clock of whoever owns the controller).
void lcd_render(LcdController& c, int32_t blink_phase);
