// The device's side of the display protocol: one method per command byte
// 0x85..0xA6, each appending the command and all of its arguments to a byte
// buffer, so the firmware above it can never leave a command half sent.
//
// Texts are cut or padded to the length a command counts (20 cells for a
// row, 80 for the whole screen, 4 for the flash text); zero-terminated texts
// end at their own end and drop any 0 inside them. Rows are 1..4 and columns
// 1..20, as the display counts them. Nothing here knows about screens: that
// is the firmware's business (demo_device.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Cursor styles of command 0x98.
enum class CursorStyle : uint8_t { unchanged = 0, underline = 1, block = 2, none = 3 };

// The two number fields of the status line, as command 0xA6 selects them.
enum class NumberField : uint8_t { left = 1, right = 2 };

// Dot rows 0..6 of a custom character, bit 4 the leftmost dot (row 7 is the
// display's own and keeps its underline).
using GlyphRows = std::array<uint8_t, 7>;

class DisplayCommands {
public:
    explicit DisplayCommands(std::vector<uint8_t>& out) : out_(out) {}

    // 0x85 and 0x86: the display does nothing. The firmware sends the first
    // as its wake-up byte and the second as its keep-alive.
    void no_op() { command(0x85); }
    // 81 zero bytes: they complete whatever command the display may still be
    // counting (0x8B, the longest, takes 81 more) and are ignored between
    // commands, so the next command byte is read as one.
    void back_in_step() { out_.insert(out_.end(), 81, uint8_t{0}); }
    void keep_alive() { command(0x86); }
    // 0x87: clear, forget the mode flags, cancel a pending flash-text return.
    void reset() { command(0x87); }
    // 0x88, 0x9A, 0x9B: one argument that the display skips. The firmware
    // sends them where a unit with a beeper, a dimmable backlight and a
    // contrast control would set those; the screen does not change.
    void beep(uint8_t length) { command(0x88, length); }
    void backlight(uint8_t level) { command(0x9A, level); }
    void contrast(uint8_t level) { command(0x9B, level); }

    void clear() { command(0x89); }                             // 0x89, cursor to 1,1
    void blank_row(uint8_t row) { command(0x8A, row); }         // 0x8A
    void whole_screen(std::string_view rows_1_to_4);            // 0x8B, 80 cells
    void row(uint8_t row, std::string_view text);               // 0x8C, 20 cells
    void text(std::string_view text);                           // 0x8D, at the cursor
    void put(uint8_t character) { command(0x8E, character); }   // 0x8E
    void mark(uint8_t character) { command(0x8F, character); }  // 0x8F
    void backspace() { command(0x90); }                         // 0x90
    void scroll_up() { command(0x91); }                         // 0x91, all rows
    void scroll_down() { command(0x92); }                       // 0x92, all rows
    void scroll_lower_up() { command(0x9C); }                   // 0x9C, rows 2..4
    void scroll_lower_down() { command(0x9D); }                 // 0x9D, rows 2..4
    void centred(uint8_t row, std::string_view text);           // 0x99, on a cleared row
    void line(uint8_t row, std::string_view text);              // 0xA2, rest of row blank

    void move_to(uint8_t column, uint8_t row) { command(0x97, column, row); }
    void cursor(CursorStyle style) { command(0x98, static_cast<uint8_t>(style)); }

    // The status line: skeleton, numbers, meter (level 0..11), mode field
    // (0x96 draws only changed flags, 0xA0 always), flash text.
    void status_skeleton() { command(0x9E); }
    void left_number(uint8_t number) { command(0x94, number); }
    void right_number(uint8_t number) { command(0x95, number); }
    void meter(uint8_t level) { command(0x93, level); }
    void mode(uint8_t flags) { command(0x96, flags); }
    void mode_forced(uint8_t flags) { command(0xA0, flags); }
    void flash(std::string_view four_characters);  // 0xA1

    void self_test() { command(0x9F); }
    void busy_at(uint8_t column, uint8_t row) { command(0xA4, column, row); }
    void busy_step() { command(0xA3); }

    // 0xA5 leaves the display addressing character memory, so the cursor is
    // always positioned right after it (0x97 to column, row).
    void define_glyph(uint8_t slot, const GlyphRows& rows, uint8_t column, uint8_t row);
    // 0xA6: three characters in place of a number (the fourth cell shows
    // custom character 0), seen at the field's next number; off clears it.
    void override_number(NumberField field, std::string_view three_characters);
    void override_off(NumberField field);

private:
    template <class... Arguments>
    void command(uint8_t code, Arguments... arguments) {
        out_.push_back(code);
        (out_.push_back(arguments), ...);
    }
    // Exactly `cells` bytes of text, padded with `fill`.
    void counted(std::string_view text, size_t cells, uint8_t fill);
    // The text without any 0, then the terminating 0.
    void terminated(std::string_view text);

    std::vector<uint8_t>& out_;
};
