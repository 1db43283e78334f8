// The device's side of the display protocol: one method per command of the
// vocabulary (protocol/commands.h), named as the command is, each appending
// the command and all of its arguments to a byte buffer, so the firmware
// above it can never leave a command half sent.
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

#include "protocol/commands.h"

// The argument of Command::cursor_style.
enum class CursorStyle : uint8_t { unchanged = 0, underline = 1, block = 2, none = 3 };

// The two number fields of the status line, as Command::number_override
// selects them.
enum class NumberField : uint8_t { left = 1, right = 2 };

// Dot rows 0..6 of a custom character, bit 4 the leftmost dot (row 7 is the
// display's own and keeps its underline).
using GlyphRows = std::array<uint8_t, 7>;

class DisplayCommands {
public:
    explicit DisplayCommands(std::vector<uint8_t>& out) : out_(out) {}

    // The two codes that do nothing. The firmware sends the first as its
    // wake-up byte and the second as its keep-alive.
    void no_op() { command(Command::no_op); }
    void no_op_2() { command(Command::no_op_2); }
    // 81 zero bytes: they complete whatever command the display may still be
    // counting (the whole-screen text, the longest, takes 81 more) and are
    // ignored between commands, so the next command byte is read as one.
    void back_in_step() { out_.insert(out_.end(), 81, uint8_t{0}); }
    // Clear, forget the mode flags, cancel a pending flash-text return.
    void reset() { command(Command::reset); }
    // One argument that the display skips. The firmware sends them where a
    // unit with a beeper, a dimmable backlight and a contrast control would
    // set those; the screen does not change.
    void beep(uint8_t length) { command(Command::beep, length); }
    void backlight(uint8_t level) { command(Command::backlight, level); }
    void contrast(uint8_t level) { command(Command::contrast, level); }

    void clear() { command(Command::clear); }  // cursor to 1,1
    void clear_row(uint8_t row) { command(Command::clear_row, row); }
    void screen_text(std::string_view rows_1_to_4);     // 80 cells
    void row_text(uint8_t row, std::string_view text);  // 20 cells
    void text(std::string_view text);                   // at the cursor
    void character(uint8_t code) { command(Command::character, code); }
    void character_2(uint8_t code) { command(Command::character_2, code); }
    void backspace() { command(Command::backspace); }
    void scroll_up() { command(Command::scroll_up); }      // all rows
    void scroll_down() { command(Command::scroll_down); }  // all rows
    void scroll_lower_up() { command(Command::scroll_lower_up); }
    void scroll_lower_down() { command(Command::scroll_lower_down); }
    void centred_text(uint8_t row, std::string_view text);           // on a cleared row
    void blank_filled_row_text(uint8_t row, std::string_view text);  // rest of the row blank

    void goto_cell(uint8_t column, uint8_t row) { command(Command::goto_cell, column, row); }
    void cursor_style(CursorStyle style) {
        command(Command::cursor_style, static_cast<uint8_t>(style));
    }

    // The status line: skeleton, numbers, meter (level 0..11), mode field
    // (Command::mode draws only changed flags, Command::mode_forced always),
    // flash text.
    void status_skeleton() { command(Command::status_skeleton); }
    void left_number(uint8_t number) { command(Command::left_number, number); }
    void right_number(uint8_t number) { command(Command::right_number, number); }
    void meter(uint8_t level) { command(Command::meter, level); }
    void mode(uint8_t flags) { command(Command::mode, flags); }
    void mode_forced(uint8_t flags) { command(Command::mode_forced, flags); }
    void flash_text(std::string_view four_characters);

    void self_test() { command(Command::self_test); }
    void busy_position(uint8_t column, uint8_t row) {
        command(Command::busy_position, column, row);
    }
    void busy_step() { command(Command::busy_step); }

    // Defining a glyph leaves the display addressing character memory, so
    // the cursor is always positioned right after it (goto_cell).
    void define_glyph(uint8_t slot, const GlyphRows& rows, uint8_t column, uint8_t row);
    // Three characters in place of a number (the fourth cell shows custom
    // character 0), seen at the field's next number; off clears it.
    void number_override(NumberField field, std::string_view three_characters);
    void number_override_off(NumberField field);

private:
    template <class... Arguments>
    void command(Command code, Arguments... arguments) {
        out_.push_back(command_byte(code));
        (out_.push_back(arguments), ...);
    }
    // Exactly `cells` bytes of text, padded with `fill`.
    void counted(std::string_view text, size_t cells, uint8_t fill);
    // The text without any 0, then the terminating 0.
    void terminated(std::string_view text);

    std::vector<uint8_t>& out_;
};
