// A read-only picture of one device's screen, taken in one call under the
// display session's lock (DisplaySession::snapshot) for tools and tests.
//
// It is a plain value: the cell codes, the rows as UTF-8 text, the cursor,
// the custom characters and the dots at the blink phase of the moment, all
// copied out of the controller, so nothing in it refers back to the session
// and it stays the same however the session goes on. Cells are the ones the
// display shows: text row r, column c is the code at the display-RAM address
// the rasteriser reads for that cell (rows start at its row_start_table).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/lcd_controller.h"

struct ScreenCursor {
    // As the controller shows it: the C bit of Display on/off control gives
    // the underline, the B bit the blinking block; with both set the block is
    // named (the underline is what remains while the blink hides the block).
    enum class Style : uint8_t { none, underline, block };

    int32_t address = 0;  // display-RAM address counter, 0x00..0x7F
    int32_t row = 0;      // 1..4, or 0 when no cell shows the address
    int32_t column = 0;   // 1..20, or 0 when no cell shows the address
    Style style = Style::none;
    // Drawn in this snapshot's dots: the display is on, a cell shows the
    // address, and the style is not none nor a block the blink hides.
    bool shown = false;

    bool operator==(const ScreenCursor&) const = default;
};

struct ScreenSnapshot {
    static constexpr int32_t rows = 4;
    static constexpr int32_t columns = 20;

    // Character codes, cells[row - 1][column - 1].
    std::array<std::array<uint8_t, columns>, rows> cells{};
    // Each row's cells through character_text, as one UTF-8 string.
    std::array<std::string, rows> text;
    ScreenCursor cursor;
    bool display_on = false;
    // Custom characters 0..7, eight dot rows each, top first; bit 4 is the
    // leftmost dot (the form of the custom-character command).
    std::array<std::array<uint8_t, 8>, 8> glyphs{};
    // The whole dot matrix as the rasteriser leaves it at the snapshot's
    // blink phase: row-major, dot_width x dot_height, 0 off, 1 on, 255 a
    // cell of a switched-off display (see display/rasteriser.h).
    std::vector<uint8_t> dots;
    int32_t dot_width = 0;
    int32_t dot_height = 0;

    bool operator==(const ScreenSnapshot&) const = default;
};

// The text a cell shows, as UTF-8: one Unicode character per code, from the
// character set of the session's controller (the European set, ROM select
// 1). ASCII 0x20..0x7E is itself; the set's letters and symbols are their
// Unicode characters; custom characters 0..15 are the circled numbers
// U+24EA and U+2460..U+246E (0 to 15); a code whose glyph has no Unicode
// match is U+FFFD. docs/protocol.md "Character set" has the table.
std::string character_text(uint8_t code);

// The screen as text, as the programs copy it: each row's text followed by
// `line_break` ("\r\n" where the clipboard wants that).
std::string screen_text(const ScreenSnapshot& screen, std::string_view line_break = "\n");

// Renders the controller at the blink phase and copies the screen out of it.
// Made for the session's 20 x 4 text controller; the caller holds whatever
// lock guards the controller.
ScreenSnapshot take_screen_snapshot(LcdController& lcd, int32_t blink_phase);
