// The character generator: the three constant fonts and the glyph lookup.
//
// Text-variant glyphs, ROM or RAM, share the 5-byte column format: one byte
// per dot column, leftmost first; bit 7 is the top dot row and bit 0 the
// bottom (eighth) row. Codes 0..15 come from character-generator RAM, codes
// 16..255 from the ROM font that the controller's ROM select chooses.
//
// The graphic variant's 8x16 font uses the 16-byte row format: one byte per
// dot row, top first, bit 7 the leftmost dot. Its codes 0..15 show code 16.
//
// The font tables are written in their source files as pictures (one string
// of dots per row) and converted to these byte formats at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "display/lcd_controller.h"

// ROM fonts, codes 16..255, 5 bytes per code at 5 * (code - 16).
// font_rom0: the Japanese standard set, character bodies in rows 0..6.
// font_rom1: the European standard set, character bodies in rows 1..7.
extern const std::array<uint8_t, 1200> font_rom0;
extern const std::array<uint8_t, 1200> font_rom1;
// Code page 437 shapes, codes 16..255, 16 bytes per code at 16 * (code - 16).
extern const std::array<uint8_t, 3840> font_8x16;

// The glyph bytes of a code: 5 column bytes in the text variant, 16 row
// bytes in the graphic variant. A glyph from character-generator RAM is a
// view into the controller and shows later writes to that slot.
std::span<const uint8_t> lcd_glyph(const LcdController& c, uint8_t code);
