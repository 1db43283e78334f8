// Whole numbers written in decimal, as target strings and command lines
// give them: a COM port number, a TCP port, a number of an option.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Whether digits may begin with a 0 ("007"); a lone "0" is always a number.
enum class LeadingZeros : uint8_t { refused, allowed };

// The value of `text` if it is nothing but the digits 0..9 (no sign, no
// space) and at most `max`, however many digits it has; none otherwise,
// and for an empty text.
std::optional<uint32_t> decimal_number(std::string_view text, uint32_t max, LeadingZeros zeros);
