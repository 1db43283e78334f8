// Checks the 8x16 font table: the rows that identify its character set, the
// blank codes and the block and shading glyphs.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <span>

#include "display/char_generator.h"

namespace {

using Rows = std::array<uint8_t, 16>;

std::span<const uint8_t> glyph(int code) {
    return std::span<const uint8_t>(font_8x16).subspan(16 * static_cast<size_t>(code - 16), 16);
}

int lit_dots(int code) {
    int n = 0;
    for (uint8_t row : glyph(code)) n += std::popcount(row);
    return n;
}

TEST(Font8x16, TellingRows) {
    struct Case {
        int code;
        Rows rows;
    };
    const Case cases[] = {
        {0x10, {0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80}},
        {0x41, {0x00, 0x00, 0x7C, 0xC6, 0xC6, 0xC6, 0xC6, 0xFE, 0xC6, 0xC6, 0xC6, 0xC6}},
        {0x80,
         {0x00, 0x00, 0x3C, 0x66, 0xC2, 0xC0, 0xC0, 0xC0, 0xC2, 0x66, 0x3C, 0x0C, 0x06, 0x7C}},
        {0xB0,
         {0x11, 0x44, 0x11, 0x44, 0x11, 0x44, 0x11, 0x44, 0x11, 0x44, 0x11, 0x44, 0x11, 0x44, 0x11,
          0x44}},
        {0xDB,
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF}},
        {0xFE, {0x00, 0x00, 0x00, 0x00, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E}},
    };
    for (const Case& c : cases) {
        const auto g = glyph(c.code);
        for (size_t r = 0; r < 16; ++r) {
            EXPECT_EQ(g[r], c.rows[r])
                << "code 0x" << std::hex << c.code << " row " << std::dec << r;
        }
    }
}

TEST(Font8x16, OnlySpaceAndNoBreakSpaceAreBlank) {
    for (int code = 16; code <= 255; ++code) {
        const bool blank = code == 0x20 || code == 0xFF;
        EXPECT_EQ(lit_dots(code) == 0, blank) << "code 0x" << std::hex << code;
    }
}

TEST(Font8x16, ShadingDarkensFromLightToDark) {
    EXPECT_LT(lit_dots(0xB0), lit_dots(0xB1));
    EXPECT_LT(lit_dots(0xB1), lit_dots(0xB2));
    EXPECT_LT(lit_dots(0xB2), lit_dots(0xDB));
}

}  // namespace
