// The command decoder (decoder.h): the split follows the command table,
// and one description per command reads its arguments and says what the
// display does with values out of range.
#include "record/decoder.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "display/rasteriser.h"
#include "protocol/cell_primitives.h"
#include "protocol/screen_snapshot.h"
#include "record/hex.h"

namespace {

constexpr size_t row_cells = 20;

// Two hex digits in capitals; with the "0x" of a byte named on its own.
std::string hex_digits(uint8_t b) {
    std::string text;
    append_hex(text, b, HexLetters::capital);
    return text;
}
std::string hex_byte(uint8_t b) {
    return "0x" + hex_digits(b);
}

// The cell at a display address, "row R column C", or what it is instead.
std::string cell_at(uint8_t address) {
    for (size_t r = 0; r < row_start_table.size(); ++r) {
        const int32_t start = row_start_table[r];
        if (address >= start && address < start + static_cast<int32_t>(row_cells)) {
            return "row " + std::to_string(r + 1) + " column " +
                   std::to_string(address - start + 1);
        }
    }
    return "address " + hex_byte(address) + ", which no cell shows";
}

// Reads the arguments of one command (the bytes after the command byte,
// perhaps fewer than it takes when the stream was cut off).
class Description {
public:
    Description(DecodedCommand& command)
        : c_(command), args_(std::span<const uint8_t>(command.bytes).subspan(1)) {}

    void describe();

private:
    bool has(size_t i) const { return i < args_.size(); }
    uint64_t offset_of(size_t i) const { return c_.offset + 1 + i; }
    void number(const std::string& name, int64_t value) { c_.args.push_back({name, value, {}}); }
    void text_arg(const std::string& name, std::string text) {
        c_.args.push_back({name, std::nullopt, std::move(text)});
    }
    void warn(std::string text) { c_.warnings.push_back(std::move(text)); }

    // A row 1..4; any other means row 1. Returns the row used.
    uint8_t row(size_t i) {
        const uint8_t value = args_[i];
        number("row", value);
        if (value >= 1 && value <= 4) return value;
        warn("row " + std::to_string(value) + " is not 1..4: row 1 is used");
        return 1;
    }
    // A column and row (cursor and busy positions): the address the display computes.
    void place(const std::string& what) {
        if (!has(0)) return;
        const uint8_t column = args_[0];
        number("column", column);
        if (!has(1)) return;
        const uint8_t r = row(1);
        if (column >= 1 && column <= row_cells) return;
        warn("column " + std::to_string(column) + " is not 1..20: " + what + " " +
             cell_at(cell_address(column, r)));
    }
    // Characters through the text filter; a skipped one is shown as \xHH
    // and warned about. `counted`: the row ends early for it.
    void characters(const std::string& name, size_t from, size_t to, bool counted) {
        std::string text;
        for (size_t i = from; i < to && has(i); ++i) {
            const uint8_t b = args_[i];
            if (const std::optional<uint8_t> code = filtered_char(b)) {
                text += character_text(*code);
                continue;
            }
            text += "\\x" + hex_digits(b);
            warn("character " + hex_byte(b) + " at offset " + std::to_string(offset_of(i)) +
                 " is skipped: nothing is written" +
                 (counted ? " but it counts, so the text ends a cell early" : ""));
        }
        text_arg(name, std::move(text));
    }
    // Text up to its 0 from argument `from`.
    size_t text_end(size_t from) const {
        size_t end = from;
        while (has(end) && args_[end] != 0) ++end;
        return end;
    }
    void ignored_value(const std::string& name) {
        if (has(0)) number(name, args_[0]);
    }
    // The first argument as `name`, with a warning when it is above
    // `highest`: what it sets then stays as it was.
    void limited_number(const std::string& name, int64_t highest, const std::string& what) {
        if (!has(0)) return;
        number(name, args_[0]);
        if (args_[0] > highest) {
            warn(name + " " + std::to_string(args_[0]) + " is above " + std::to_string(highest) +
                 ": " + what + " stays as it was (the command still repaints)");
        }
    }

    void three_digits(const std::string& where) {
        if (!has(0)) return;
        number("number", args_[0]);
        if (args_[0] >= 100) {
            warn("number " + std::to_string(args_[0]) +
                 " is above 99: a third digit is written into " + where);
        }
    }

    DecodedCommand& c_;
    std::span<const uint8_t> args_;
};

void Description::describe() {
    switch (c_.info->command) {
        case Command::beep:
            return ignored_value("length");
        case Command::backlight:
        case Command::contrast:
            return ignored_value("level");
        case Command::clear_row:
            if (has(0)) row(0);
            return;
        case Command::screen_text:
            if (has(0)) number("discarded", args_[0]);
            return characters("text", 1, 81, true);
        case Command::row_text:
            if (has(0)) row(0);
            return characters("text", 1, 21, true);
        case Command::blank_filled_row_text: {
            if (has(0)) row(0);
            const size_t end = std::min<size_t>(text_end(1), 21);
            return characters("text", 1, end, true);
        }
        case Command::text:
            return characters("text", 0, text_end(0), false);
        case Command::character:
        case Command::character_2:
            return characters("character", 0, 1, false);
        case Command::meter:
            return limited_number("level", 11, "the meter");
        case Command::left_number:
            return three_digits("row 1 column 5, the arrow cell");
        case Command::right_number:
            return three_digits("row 3 column 1");
        case Command::mode:
        case Command::mode_forced:
            if (has(0)) text_arg("flags", hex_byte(args_[0]));
            return;
        case Command::goto_cell:
            return place("the cursor goes to");
        case Command::busy_position:
            return place("the busy indicator is drawn at");
        case Command::cursor_style:
            return limited_number("style", 3, "the cursor");
        case Command::centred_text: {
            if (!has(0)) return;
            row(0);
            const size_t end = text_end(1);
            if (end - 1 > 23) {
                warn(std::to_string(end - 1) +
                     " characters: only the first 23 are kept, the rest are dropped");
            }
            return characters("text", 1, std::min<size_t>(end, 24), false);
        }
        case Command::flash_text:
            return characters("text", 0, 4, false);
        case Command::define_glyph: {
            if (!has(0)) return;
            number("slot", args_[0]);
            if (args_[0] > 7) {
                warn("slot " + std::to_string(args_[0]) + " is above 7: slot 0 is redefined");
            }
            std::string rows;
            bool high_bits = false;
            for (size_t i = 1; i < 8 && has(i); ++i) {
                rows += (rows.empty() ? "" : " ") + hex_digits(args_[i]);
                high_bits = high_bits || (args_[i] & 0xE0) != 0;
            }
            text_arg("rows", rows);
            if (high_bits) warn("pattern bits 5..7 are set: they are ignored");
            return;
        }
        case Command::number_override:
            if (!has(0)) return;
            text_arg("field", args_[0] == 1 ? "left" : "right");
            if (args_[0] != 1 && args_[0] != 2) {
                warn("selector " + std::to_string(args_[0]) +
                     " is neither 1 nor 2: it sets the right override");
            }
            return characters("text", 1, 4, false);
        default:
            return;  // no arguments
    }
}

}  // namespace

void CommandDecoder::feed(std::span<const uint8_t> bytes, std::optional<double> t) {
    for (const uint8_t b : bytes) take(b, t);
}

void CommandDecoder::take(uint8_t b, std::optional<double> t) {
    const uint64_t offset = offset_++;
    if (!in_command_) {
        const CommandInfo* info = command_info(b);
        if (info != nullptr) return start(b, info, t);
        if (ignored_.bytes.empty()) {
            ignored_.offset = offset;
            ignored_.t = t;
        }
        ignored_.bytes.push_back(b);
        return;
    }
    current_.bytes.push_back(b);
    if (counted_left_ > 0) {
        if (--counted_left_ == 0 && !current_.info->text_to_zero) complete();
    } else if (b == 0) {
        complete();
    }
}

void CommandDecoder::start(uint8_t b, const CommandInfo* info, std::optional<double> t) {
    flush_ignored();
    current_ = DecodedCommand{};
    current_.offset = offset_ - 1;
    current_.t = t;
    current_.bytes.push_back(b);
    current_.info = info;
    current_.repaint = info->repaint != Repaint::never;
    in_command_ = true;
    counted_left_ = info->arguments;
    if (counted_left_ == 0 && !info->text_to_zero) complete();
}

void CommandDecoder::complete() {
    in_command_ = false;
    Description(current_).describe();
    sink_(current_);
}

void CommandDecoder::flush_ignored() {
    if (ignored_.bytes.empty()) return;
    const size_t count = ignored_.bytes.size();
    ignored_.warnings.push_back(std::to_string(count) + (count == 1 ? " byte" : " bytes") +
                                " between commands ignored: no command starts with them");
    sink_(ignored_);
    ignored_ = DecodedCommand{};
}

void CommandDecoder::finish() {
    flush_ignored();
    if (!in_command_) return;
    in_command_ = false;
    current_.cut_off = true;
    Description(current_).describe();
    const size_t came = current_.bytes.size() - 1;
    const size_t counted = current_.info->arguments;
    current_.warnings.push_back(
        "cut off by the end of the stream: " +
        (counted_left_ > 0
             ? std::to_string(came) + " of its " + std::to_string(counted) + " argument bytes came"
             : std::string("its text has no closing 0")));
    // What the display does with the rest depends on what comes next.
    current_.repaint = false;
    sink_(current_);
}

namespace {

std::string argument_text(const DecodedArgument& arg) {
    return arg.name + "=" + (arg.number ? std::to_string(*arg.number) : "\"" + arg.text + "\"");
}

std::string shown_bytes(const std::vector<uint8_t>& bytes) {
    constexpr size_t shown = 12;
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < shown; ++i) {
        if (i > 0) text += ' ';
        text += hex_digits(bytes[i]);
    }
    if (bytes.size() > shown) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

}  // namespace

std::string decoded_text(const DecodedCommand& command) {
    std::array<char, 64> where{};
    if (command.t) {
        std::snprintf(where.data(), where.size(), "%10.3f s %8llu", *command.t,
                      static_cast<unsigned long long>(command.offset));
    } else {
        std::snprintf(where.data(), where.size(), "%8llu",
                      static_cast<unsigned long long>(command.offset));
    }
    std::string line = std::string(where.data()) + "  " + shown_bytes(command.bytes) + "  ";
    line += command.info != nullptr ? std::string(command.info->name) : "ignored";
    for (const DecodedArgument& arg : command.args) {
        line += ' ';
        line += argument_text(arg);
    }
    if (command.repaint) {
        line += command.info->repaint == Repaint::twice ? "  [repaint twice]" : "  [repaint]";
    }
    for (const std::string& warning : command.warnings) line += "  ! " + warning;
    return line;
}

std::string decoded_json(const DecodedCommand& command) {
    nlohmann::ordered_json json;
    json["offset"] = command.offset;
    json["t"] = command.t ? nlohmann::ordered_json(*command.t) : nlohmann::ordered_json(nullptr);
    json["bytes"] = hex_text(command.bytes);
    json["command"] = command.info != nullptr
                          ? nlohmann::ordered_json(hex_byte(command_byte(command.info->command)))
                          : nlohmann::ordered_json(nullptr);
    json["name"] = command.info != nullptr ? std::string(command.info->name) : "ignored";
    nlohmann::ordered_json args = nlohmann::ordered_json::object();
    for (const DecodedArgument& arg : command.args) {
        if (arg.number) {
            args[arg.name] = *arg.number;
        } else {
            args[arg.name] = arg.text;
        }
    }
    json["args"] = std::move(args);
    json["repaint"] = command.repaint;
    json["warnings"] = command.warnings;
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
