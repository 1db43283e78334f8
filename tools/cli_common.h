// Pieces shared by the subcommands of zezodavoru-cli: byte parsing, the
// controller dump, and error reporting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/lcd_controller.h"
#include "record/hex.h"

// The whitespace that separates tokens and stream bytes.
bool is_space(char c);

// A byte written as one or two hex digits, with or without "0x".
bool parse_hex_byte(std::string_view token, uint8_t& value);

// A decimal number 0..max, digits only.
bool parse_decimal(std::string_view token, uint32_t max, uint32_t& value);

// One whitespace-separated token of a script and the 1-based line it is on.
struct ScriptToken {
    std::string text;
    int32_t line = 0;
};

// Splits a script into tokens; '#' starts a comment that runs to the end of
// its line.
std::vector<ScriptToken> tokenize_script(std::string_view script);

// Reads a whole script from a file, or from standard input when the path is
// empty or "-". False if it cannot be read.
bool read_script(const std::string& path, std::string& text);

// Reports bad input: one line "zezodavoru-cli: MESSAGE" on standard error
// (after flushing what standard output holds). Returns the exit status 2.
int report_bad_input(const std::string& message);

// Reports a failure, such as a file that cannot be written, the same way.
// Returns the exit status 1.
int report_failure(const std::string& message);

// Flushes standard output. True if everything written to it so far went
// through; otherwise reports "COMMAND: cannot write standard output: REASON"
// as a failure, since the output is lost (a full disk, /dev/full).
bool standard_output_written(const std::string& command);

// Renders the controller with the given blink phase (the caller owns the
// blink clock) and prints, line by line: "address HH", "shift N", "cells",
// one line per text row with the code stored at each cell's display address,
// "dots", then dot_height lines of dot_width characters ('.' for 0, '#' for
// 1, '@' for 255).
void print_dump(LcdController& c, int32_t blink_phase);
