// Bytes as hex text (hex.h).
#include "record/hex.h"

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_hex(std::string& out, uint8_t byte, HexLetters letters) {
    static constexpr std::string_view lower = "0123456789abcdef";
    static constexpr std::string_view capital = "0123456789ABCDEF";
    const std::string_view digits = letters == HexLetters::lower ? lower : capital;
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

std::string hex_text(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) append_hex(text, b);
    return text;
}

bool parse_hex_text(std::string_view text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 2 != 0) return false;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = hex_digit_value(text[i]);
        const int low = hex_digit_value(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}
