// Checks of the first ROM font table: the shapes that identify the set, the
// blank codes and the row placement (bodies in rows 0..6, row 7 only for
// descenders and the full block).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "display/char_generator.h"

namespace {

std::span<const uint8_t, 5> glyph(int code) {
    return std::span<const uint8_t, 5>(font_rom0.data() + 5 * (code - 16), 5);
}

bool is_blank(int code) {
    const auto g = glyph(code);
    return std::all_of(g.begin(), g.end(), [](uint8_t b) { return b == 0; });
}

bool uses_row7(int code) {
    const auto g = glyph(code);
    return std::any_of(g.begin(), g.end(), [](uint8_t b) { return (b & 0x01) != 0; });
}

}  // namespace

TEST(FontRom0, TellingGlyphsHaveTheirExactBytes) {
    struct Telling {
        int code;
        std::array<uint8_t, 5> bytes;
    };
    const Telling tellings[] = {
        {0x30, {0x7C, 0x8A, 0x92, 0xA2, 0x7C}},  // zero with slash
        {0x41, {0x7E, 0x90, 0x90, 0x90, 0x7E}},  // A
        {0x5C, {0xA8, 0x68, 0x3E, 0x68, 0xA8}},  // yen sign
        {0x7E, {0x10, 0x10, 0x54, 0x38, 0x10}},  // right arrow
        {0x7F, {0x10, 0x38, 0x54, 0x10, 0x10}},  // left arrow
        {0xA5, {0x00, 0x18, 0x18, 0x00, 0x00}},  // centred dot
        {0xDF, {0xE0, 0xA0, 0xE0, 0x00, 0x00}},  // small circle, top left
        {0xFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},  // full block
    };
    for (const Telling& t : tellings) {
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << t.code);
        const auto g = glyph(t.code);
        EXPECT_TRUE(std::equal(g.begin(), g.end(), t.bytes.begin()));
    }
}

TEST(FontRom0, ExactlyTheCodesWithoutShapeAreBlank) {
    int blanks = 0;
    for (int code = 16; code <= 255; ++code) {
        const bool expect_blank = code <= 0x20 || (code >= 0x80 && code <= 0xA0) || code == 0xFE;
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << code);
        EXPECT_EQ(is_blank(code), expect_blank);
        blanks += expect_blank ? 1 : 0;
    }
    EXPECT_EQ(blanks, 51);
}

TEST(FontRom0, BottomRowOnlyForDescendersAndFullBlock) {
    const std::array<int, 9> bottom_users = {0xE2, 0xE4, 0xE6, 0xE7, 0xEA, 0xF0, 0xF1, 0xF9, 0xFF};
    for (int code = 16; code <= 255; ++code) {
        const bool expected =
            std::find(bottom_users.begin(), bottom_users.end(), code) != bottom_users.end();
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << code);
        EXPECT_EQ(uses_row7(code), expected);
    }
}
