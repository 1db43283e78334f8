// Glyph pictures: the fonts are written as one string of dots per row ('#'
// lit, '.' unlit) so that every character can be seen in the source, and
// converted here, at compile time, into the stored byte formats of
// char_generator.h. A picture table must hold every code 16..255 exactly
// once, each row of the right width and made only of '#' and '.'; anything
// else fails the build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct Picture5x8 {
    int code;
    std::array<std::string_view, 8> rows;  // top row first, 5 dots each
};

struct Picture8x16 {
    int code;
    std::array<std::string_view, 16> rows;  // top row first, 8 dots each
};

namespace glyph_picture {

inline constexpr int first_code = 16;
inline constexpr int code_count = 240;

// Not constexpr: reaching it during constant evaluation stops the build with
// the message naming the fault.
inline void bad_picture(const char* /*fault*/) {}

consteval bool lit(char dot) {
    if (dot == '#') return true;
    if (dot != '.') bad_picture("a glyph row holds a character other than '#' and '.'");
    return false;
}

template <typename Picture, size_t N>
consteval void check_codes(const Picture (&pictures)[N]) {
    std::array<bool, code_count> seen{};
    for (const Picture& p : pictures) {
        if (p.code < first_code || p.code > 255) bad_picture("glyph code outside 16..255");
        if (seen[static_cast<size_t>(p.code - first_code)]) bad_picture("glyph code given twice");
        seen[static_cast<size_t>(p.code - first_code)] = true;
    }
    for (bool s : seen) {
        if (!s) bad_picture("glyph code missing");
    }
}

}  // namespace glyph_picture

// 5-byte column glyphs: byte x is dot column x, bit 7 the top row.
template <size_t N>
consteval std::array<uint8_t, 5 * glyph_picture::code_count> pack_5x8(
    const Picture5x8 (&pictures)[N]) {
    glyph_picture::check_codes(pictures);
    std::array<uint8_t, 5 * glyph_picture::code_count> bytes{};
    for (const Picture5x8& p : pictures) {
        const size_t base = 5 * static_cast<size_t>(p.code - glyph_picture::first_code);
        for (size_t r = 0; r < 8; ++r) {
            if (p.rows[r].size() != 5) glyph_picture::bad_picture("a 5x8 row is not 5 dots wide");
            for (size_t x = 0; x < 5; ++x) {
                if (glyph_picture::lit(p.rows[r][x])) bytes[base + x] |= uint8_t(0x80u >> r);
            }
        }
    }
    return bytes;
}

// 16-byte row glyphs: byte r is dot row r, bit 7 the leftmost dot.
template <size_t N>
consteval std::array<uint8_t, 16 * glyph_picture::code_count> pack_8x16(
    const Picture8x16 (&pictures)[N]) {
    glyph_picture::check_codes(pictures);
    std::array<uint8_t, 16 * glyph_picture::code_count> bytes{};
    for (const Picture8x16& p : pictures) {
        const size_t base = 16 * static_cast<size_t>(p.code - glyph_picture::first_code);
        for (size_t r = 0; r < 16; ++r) {
            if (p.rows[r].size() != 8) glyph_picture::bad_picture("an 8x16 row is not 8 dots wide");
            for (size_t x = 0; x < 8; ++x) {
                if (glyph_picture::lit(p.rows[r][x])) bytes[base + r] |= uint8_t(0x80u >> x);
            }
        }
    }
    return bytes;
}
