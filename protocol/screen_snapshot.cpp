// The screen snapshot: the character set's Unicode table, the copy of a
// controller's screen and its text.
//
// The table is laid out as the character-set sheet (docs/font-rom1.png, drawn
// from display/font_rom1.cpp): sixteen rows of sixteen codes, each row one
// string, so that a character's place in the source is its code.
#include "protocol/screen_snapshot.h"

#include <string_view>

#include "display/rasteriser.h"

namespace {

// clang-format off
constexpr std::u32string_view character_rows[16] = {
    U"⓪①②③④⑤⑥⑦⑧⑨⑩⑪⑫⑬⑭⑮",  // 0x00: the custom characters
    U"▶◀“”\uFFFD\uFFFD•↵↑↓→←≤≥▲▼",  // 0x10; 0x14, 0x15 (double triangles) have no match
    U" !\"#$%&'()*+,-./",  // 0x20
    U"0123456789:;<=>?",  // 0x30
    U"@ABCDEFGHIJKLMNO",  // 0x40
    U"PQRSTUVWXYZ[\\]^_",  // 0x50
    U"`abcdefghijklmno",  // 0x60
    U"pqrstuvwxyz{|}~⌂",  // 0x70; 0x7F is the house
    U"БДЖЗИЙЛПУЦЧШЩЪЫЭ",  // 0x80
    U"α♪ΓπΣσ♬τ⍾ΘΩδ∞♥ε∩",  // 0x90 (character codes, not a command byte)
    U"‖¡¢£¤¥¦§ƒ©ª«ЮЯ®‘",  // 0xA0 (character codes, not a command byte)
    U"°±²³₧µ¶·ω¹º»¼½¾¿",  // 0xB0
    U"ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏ",  // 0xC0
    U"ÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞß",  // 0xD0
    U"àáâãäåæçèéêëìíîï",  // 0xE0
    U"ðñòóôõö÷øùúûüýþÿ",  // 0xF0
};
// clang-format on

constexpr bool every_row_has_sixteen() {
    for (std::u32string_view row : character_rows) {
        if (row.size() != 16) return false;
    }
    return true;
}
static_assert(every_row_has_sixteen(), "one Unicode character for each of the 256 codes");

void append_utf8(std::string& out, char32_t c) {
    const auto byte = [&](uint32_t value) { out += static_cast<char>(value); };
    const auto u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        byte(u);
    } else if (u < 0x800) {
        byte(0xC0 | u >> 6);
        byte(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        byte(0xE0 | u >> 12);
        byte(0x80 | (u >> 6 & 0x3F));
        byte(0x80 | (u & 0x3F));
    } else {
        byte(0xF0 | u >> 18);
        byte(0x80 | (u >> 12 & 0x3F));
        byte(0x80 | (u >> 6 & 0x3F));
        byte(0x80 | (u & 0x3F));
    }
}

// Bits of display_control.
constexpr uint8_t display_on_bit = 0x04;
constexpr uint8_t underline_bit = 0x02;
constexpr uint8_t block_bit = 0x01;

ScreenCursor::Style cursor_style(uint8_t display_control) {
    if (display_control & block_bit) return ScreenCursor::Style::block;
    if (display_control & underline_bit) return ScreenCursor::Style::underline;
    return ScreenCursor::Style::none;
}

// Dot row r of custom character s, read as the controller's data read does:
// column x of the glyph becomes bit 4 - x.
uint8_t glyph_row(const LcdController& lcd, size_t slot, int32_t row) {
    uint8_t value = 0;
    for (size_t x = 0; x < 5; ++x) {
        if (lcd.cgram[8 * slot + x] & (0x80u >> row))
            value = static_cast<uint8_t>(value | 0x10u >> x);
    }
    return value;
}

}  // namespace

std::string character_text(uint8_t code) {
    std::string text;
    append_utf8(text, character_rows[code >> 4][code & 0x0F]);
    return text;
}

std::string screen_text(const ScreenSnapshot& screen, std::string_view line_break) {
    std::string text;
    for (const std::string& row : screen.text) {
        text += row;
        text += line_break;
    }
    return text;
}

ScreenSnapshot take_screen_snapshot(LcdController& lcd, int32_t blink_phase) {
    ScreenSnapshot s;
    s.cursor.address = lcd.ddram_cursor;
    for (int32_t r = 0; r < ScreenSnapshot::rows; ++r) {
        for (int32_t c = 0; c < ScreenSnapshot::columns; ++c) {
            const int32_t address = lcd_cell_address(lcd, r, c);
            const uint8_t code = lcd.ddram[static_cast<size_t>(address)];
            s.cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = code;
            s.text[static_cast<size_t>(r)] += character_text(code);
            if (address == lcd.ddram_cursor) {
                s.cursor.row = r + 1;
                s.cursor.column = c + 1;
            }
        }
    }
    s.display_on = (lcd.display_control & display_on_bit) != 0;
    s.cursor.style = cursor_style(lcd.display_control);
    s.cursor.shown = s.display_on && s.cursor.row != 0 && lcd_visible_cursor(lcd, blink_phase) != 0;
    for (size_t slot = 0; slot < s.glyphs.size(); ++slot) {
        for (int32_t row = 0; row < 8; ++row) {
            s.glyphs[slot][static_cast<size_t>(row)] = glyph_row(lcd, slot, row);
        }
    }
    lcd_render(lcd, blink_phase);
    s.dots = lcd.dots;
    s.dot_width = lcd.dot_width;
    s.dot_height = lcd.dot_height;
    return s;
}
