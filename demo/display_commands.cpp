// The display commands that carry text or more than two arguments: the
// counted ones pad or cut their text to the exact number of bytes the
// display takes, the zero-terminated ones drop any 0 inside the text.
#include "demo/display_commands.h"

namespace {

constexpr size_t row_cells = 20;
constexpr size_t screen_cells = 80;
constexpr size_t flash_cells = 4;
constexpr size_t override_cells = 3;
// Centred text longer than a row would start at column 1 and be cut anyway.
constexpr size_t centred_max = row_cells;

}  // namespace

void DisplayCommands::whole_screen(std::string_view rows_1_to_4) {
    command(0x8B, uint8_t{0});  // the skipped byte
    counted(rows_1_to_4, screen_cells, ' ');
}

void DisplayCommands::row(uint8_t row, std::string_view text) {
    command(0x8C, row);
    counted(text, row_cells, ' ');
}

void DisplayCommands::text(std::string_view text) {
    command(0x8D);
    terminated(text);
}

void DisplayCommands::centred(uint8_t row, std::string_view text) {
    command(0x99, row);
    terminated(text.substr(0, centred_max));
}

void DisplayCommands::line(uint8_t row, std::string_view text) {
    // The first 0 blanks the rest of the row; the bytes after it only fill
    // the count.
    command(0xA2, row);
    counted(text, row_cells, 0);
}

void DisplayCommands::flash(std::string_view four_characters) {
    command(0xA1);
    counted(four_characters, flash_cells, ' ');
}

void DisplayCommands::define_glyph(uint8_t slot, const GlyphRows& rows, uint8_t column,
                                   uint8_t row) {
    command(0xA5, slot);
    for (uint8_t dots : rows) out_.push_back(dots);
    move_to(column, row);
}

void DisplayCommands::override_number(NumberField field, std::string_view three_characters) {
    command(0xA6, static_cast<uint8_t>(field));
    // A first character 0 would switch the override off instead.
    const std::string_view text =
        three_characters.empty() || three_characters[0] != 0 ? three_characters : " ";
    counted(text, override_cells, ' ');
}

void DisplayCommands::override_off(NumberField field) {
    command(0xA6, static_cast<uint8_t>(field));
    counted({}, override_cells, 0);
}

void DisplayCommands::counted(std::string_view text, size_t cells, uint8_t fill) {
    for (size_t i = 0; i < cells; ++i) {
        out_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : fill);
    }
}

void DisplayCommands::terminated(std::string_view text) {
    for (char c : text) {
        if (c != 0) out_.push_back(static_cast<uint8_t>(c));
    }
    out_.push_back(0);
}
