// The second ROM font: its characteristic glyphs, the row placement of its
// character bodies, and that it differs from the first ROM font everywhere
// except the space.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "display/char_generator.h"

namespace {

std::span<const uint8_t, 5> entry(const std::array<uint8_t, 1200>& font, int code) {
    return std::span<const uint8_t, 5>(font.data() + 5 * (code - 16), 5);
}

bool row_lit(std::span<const uint8_t, 5> glyph, int row) {
    return std::any_of(glyph.begin(), glyph.end(),
                       [row](uint8_t column) { return (column & (0x80u >> row)) != 0; });
}

TEST(FontRom1, TellingGlyphsHaveTheirExactBytes) {
    struct Telling {
        int code;
        std::array<uint8_t, 5> bytes;
    };
    const Telling telling[] = {
        {0x10, {0x00, 0x7F, 0x3E, 0x1C, 0x08}},  // right-pointing triangle
        {0x30, {0x3E, 0x45, 0x49, 0x51, 0x3E}},  // 0
        {0x41, {0x1F, 0x24, 0x44, 0x24, 0x1F}},  // A
        {0x5C, {0x20, 0x10, 0x08, 0x04, 0x02}},  // backslash
        {0x7E, {0x04, 0x08, 0x08, 0x04, 0x08}},  // tilde
        {0x7F, {0x1E, 0x22, 0x42, 0x22, 0x1E}},  // house
        {0x80, {0x7F, 0x49, 0x49, 0x49, 0x66}},  // Cyrillic capital be
        {0xA5, {0x54, 0x34, 0x1F, 0x34, 0x54}},  // yen sign
        {0xDF, {0x01, 0x3E, 0x49, 0x49, 0x36}},  // sharp s
        {0xFF, {0x18, 0x45, 0x05, 0x45, 0x1E}},  // y with diaeresis
    };
    for (const Telling& t : telling) {
        const auto glyph = entry(font_rom1, t.code);
        EXPECT_TRUE(std::equal(glyph.begin(), glyph.end(), t.bytes.begin()))
            << "code 0x" << std::hex << t.code;
    }
}

TEST(FontRom1, OnlyTheSpaceIsBlank) {
    for (int code = 16; code < 256; ++code) {
        const auto glyph = entry(font_rom1, code);
        const bool blank =
            std::all_of(glyph.begin(), glyph.end(), [](uint8_t c) { return c == 0; });
        EXPECT_EQ(blank, code == 0x20) << "code 0x" << std::hex << code;
    }
}

// Digits and capitals fill rows 1..7 exactly: a body drawn one row too high
// would light row 0 or leave row 7 dark.
TEST(FontRom1, DigitsAndCapitalsFillRowsOneToSeven) {
    for (char code : std::string_view("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
        const auto glyph = entry(font_rom1, code);
        EXPECT_FALSE(row_lit(glyph, 0)) << code;
        EXPECT_TRUE(row_lit(glyph, 1)) << code;
        EXPECT_TRUE(row_lit(glyph, 7)) << code;
    }
}

TEST(FontRom1, DiffersFromTheFirstRomFontExceptTheSpace) {
    for (int code = 16; code < 256; ++code) {
        if (code == 0x20) continue;
        const auto ours = entry(font_rom1, code);
        const auto other = entry(font_rom0, code);
        EXPECT_FALSE(std::equal(ours.begin(), ours.end(), other.begin()))
            << "code 0x" << std::hex << code;
    }
}

}  // namespace
