// Bytes as hex text: how the tools and the recordings write a byte as two
// hex digits and read hex digits back. Every hex form of the project
// (recordings' payloads, hex byte streams, controller dumps, the decoder's
// "0xHH") is built on these.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The value of a hex digit of either case, or -1 for any other character.
int hex_digit_value(char c);

// Appends the byte as two hex digits: lowercase, as the tools and the
// recordings write them, or capitals, as the decoder names bytes.
enum class HexLetters : uint8_t { lower, capital };
void append_hex(std::string& out, uint8_t byte, HexLetters letters = HexLetters::lower);

// Lowercase hex, two digits a byte; and back (false on an odd length or a
// character that is no hex digit).
std::string hex_text(std::span<const uint8_t> bytes);
bool parse_hex_text(std::string_view text, std::vector<uint8_t>& bytes);
