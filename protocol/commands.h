// The display commands of the device's byte protocol: one flat table that
// names every command byte and gives its argument shape, its repaint and a
// short name for people reading a stream.
//
// The enumeration and the table are the only places where a command byte is
// written as a number: the interpreter, the demo's command writer and the
// tools spell a command as `Command::name` (tests/command_bytes.sh checks).
// The table lists the commands in byte order without gaps, so command_info()
// is an index, and the static assertion below proves that every byte
// 0x85..0xA6 has exactly one entry.
//
// Argument shape: a command takes `arguments` bytes whatever their values
// (its counted arguments), and a command marked `text_to_zero` then takes
// text up to and including a 0 byte. Counted texts (a row of 20 cells, the
// 80 cells of the whole screen, the four flash characters) are part of the
// count, since their 0 bytes are data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

enum class Command : uint8_t {
    no_op = 0x85,
    no_op_2 = 0x86,
    reset = 0x87,
    beep = 0x88,
    clear = 0x89,
    clear_row = 0x8A,
    screen_text = 0x8B,
    row_text = 0x8C,
    text = 0x8D,
    character = 0x8E,
    character_2 = 0x8F,
    backspace = 0x90,
    scroll_up = 0x91,
    scroll_down = 0x92,
    meter = 0x93,
    left_number = 0x94,
    right_number = 0x95,
    mode = 0x96,
    goto_cell = 0x97,
    cursor_style = 0x98,
    centred_text = 0x99,
    backlight = 0x9A,
    contrast = 0x9B,
    scroll_lower_up = 0x9C,
    scroll_lower_down = 0x9D,
    status_skeleton = 0x9E,
    self_test = 0x9F,
    mode_forced = 0xA0,
    flash_text = 0xA1,
    blank_filled_row_text = 0xA2,
    busy_step = 0xA3,
    busy_position = 0xA4,
    define_glyph = 0xA5,
    number_override = 0xA6,
};

// The byte that carries a command on the line.
constexpr uint8_t command_byte(Command command) {
    return static_cast<uint8_t>(command);
}

// When the program repaints for a command.
enum class Repaint : uint8_t {
    never,   // what it changes appears at the next command that repaints
    at_end,  // once, after its last byte (the 0 of a text)
    twice,   // on the command byte and after its last byte
};

struct CommandInfo {
    Command command;
    std::string_view name;  // short human name: "row text", "clear row"
    uint8_t arguments;      // bytes taken whatever their values
    bool text_to_zero;      // then a text that ends at (and includes) a 0 byte
    Repaint repaint;
};

// Every command, in byte order.
inline constexpr std::array<CommandInfo, 34> command_table = {{
    {Command::no_op, "no operation", 0, false, Repaint::never},
    {Command::no_op_2, "no operation (second code)", 0, false, Repaint::never},
    {Command::reset, "reset", 0, false, Repaint::at_end},
    {Command::beep, "beep (ignored)", 1, false, Repaint::never},
    {Command::clear, "clear screen", 0, false, Repaint::at_end},
    {Command::clear_row, "clear row", 1, false, Repaint::twice},
    {Command::screen_text, "whole-screen text", 1 + 80, false, Repaint::at_end},
    {Command::row_text, "row text", 1 + 20, false, Repaint::at_end},
    {Command::text, "text", 0, true, Repaint::at_end},
    {Command::character, "character", 1, false, Repaint::at_end},
    {Command::character_2, "character (second code)", 1, false, Repaint::at_end},
    {Command::backspace, "backspace", 0, false, Repaint::at_end},
    {Command::scroll_up, "scroll up", 0, false, Repaint::at_end},
    {Command::scroll_down, "scroll down", 0, false, Repaint::at_end},
    {Command::meter, "meter", 1, false, Repaint::at_end},
    {Command::left_number, "left number", 1, false, Repaint::at_end},
    {Command::right_number, "right number", 1, false, Repaint::at_end},
    {Command::mode, "mode field if changed", 1, false, Repaint::at_end},
    {Command::goto_cell, "cursor position", 2, false, Repaint::at_end},
    {Command::cursor_style, "cursor style", 1, false, Repaint::at_end},
    {Command::centred_text, "centred text", 1, true, Repaint::at_end},
    {Command::backlight, "backlight (ignored)", 1, false, Repaint::never},
    {Command::contrast, "contrast (ignored)", 1, false, Repaint::never},
    {Command::scroll_lower_up, "scroll rows 2-4 up", 0, false, Repaint::at_end},
    {Command::scroll_lower_down, "scroll rows 2-4 down", 0, false, Repaint::at_end},
    {Command::status_skeleton, "status-line skeleton", 0, false, Repaint::at_end},
    {Command::self_test, "self-test", 0, false, Repaint::at_end},
    {Command::mode_forced, "mode field", 1, false, Repaint::at_end},
    {Command::flash_text, "flash text", 4, false, Repaint::at_end},
    {Command::blank_filled_row_text, "blank-filled row text", 1 + 20, false, Repaint::at_end},
    {Command::busy_step, "busy step", 0, false, Repaint::never},
    {Command::busy_position, "busy position", 2, false, Repaint::never},
    {Command::define_glyph, "custom character", 1 + 7, false, Repaint::never},
    {Command::number_override, "number override", 1 + 3, false, Repaint::at_end},
}};

inline constexpr uint8_t first_command_byte = command_byte(command_table.front().command);

static_assert(
    [] {
        for (size_t i = 0; i < command_table.size(); ++i) {
            if (command_byte(command_table[i].command) != first_command_byte + i) return false;
        }
        return true;
    }(),
    "the table holds one entry per command byte, in byte order");

// The entry of a command byte; null for every byte that is not a command.
constexpr const CommandInfo* command_info(uint8_t value) {
    if (value < first_command_byte) return nullptr;
    const size_t index = size_t{value} - first_command_byte;
    return index < command_table.size() ? &command_table[index] : nullptr;
}

// The entry of a command.
constexpr const CommandInfo& command_info(Command command) {
    return *command_info(command_byte(command));
}
