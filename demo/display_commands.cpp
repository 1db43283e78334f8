// The display commands that carry text or more than two arguments: the
// counted ones pad or cut their text to the exact number of bytes the
// display takes, the zero-terminated ones drop any 0 inside the text.
#include "demo/display_commands.h"

namespace {

// The counted texts, as long as the command table counts them (after the
// row, the skipped byte or the selector that comes first).
constexpr size_t row_cells = command_info(Command::row_text).arguments - 1;
constexpr size_t screen_cells = command_info(Command::screen_text).arguments - 1;
constexpr size_t flash_cells = command_info(Command::flash_text).arguments;
constexpr size_t override_cells = command_info(Command::number_override).arguments - 1;
// Centred text longer than a row would start at column 1 and be cut anyway.
constexpr size_t centred_max = row_cells;

}  // namespace

void DisplayCommands::screen_text(std::string_view rows_1_to_4) {
    command(Command::screen_text, uint8_t{0});  // the skipped byte
    counted(rows_1_to_4, screen_cells, ' ');
}

void DisplayCommands::row_text(uint8_t row, std::string_view text) {
    command(Command::row_text, row);
    counted(text, row_cells, ' ');
}

void DisplayCommands::text(std::string_view text) {
    command(Command::text);
    terminated(text);
}

void DisplayCommands::centred_text(uint8_t row, std::string_view text) {
    command(Command::centred_text, row);
    terminated(text.substr(0, centred_max));
}

void DisplayCommands::blank_filled_row_text(uint8_t row, std::string_view text) {
    // The first 0 blanks the rest of the row; the bytes after it only fill
    // the count.
    command(Command::blank_filled_row_text, row);
    counted(text, row_cells, 0);
}

void DisplayCommands::flash_text(std::string_view four_characters) {
    command(Command::flash_text);
    counted(four_characters, flash_cells, ' ');
}

void DisplayCommands::define_glyph(uint8_t slot, const GlyphRows& rows, uint8_t column,
                                   uint8_t row) {
    command(Command::define_glyph, slot);
    for (uint8_t dots : rows) out_.push_back(dots);
    goto_cell(column, row);
}

void DisplayCommands::number_override(NumberField field, std::string_view three_characters) {
    command(Command::number_override, static_cast<uint8_t>(field));
    // A first character 0 would switch the override off instead.
    const std::string_view text =
        three_characters.empty() || three_characters[0] != 0 ? three_characters : " ";
    counted(text, override_cells, ' ');
}

void DisplayCommands::number_override_off(NumberField field) {
    command(Command::number_override, static_cast<uint8_t>(field));
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
