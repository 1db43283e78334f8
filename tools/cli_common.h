// Pieces shared by the subcommands of zezodavoru-cli: byte parsing, the
// controller dump, and error reporting.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/lcd_controller.h"

// A byte written as one or two hex digits, with or without "0x".
bool parse_hex_byte(std::string_view token, uint8_t& value);

// Renders the controller with the current blink phase and prints, line by
// line: "address HH", "shift N", "cells", one line per text row with the code
// stored at each cell's display address, "dots", then dot_height lines of
// dot_width characters ('.' for 0, '#' for 1, '@' for 255).
void print_dump(LcdController& c);
