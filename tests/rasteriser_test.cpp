// The rasteriser: cell addressing with row layout and display shift, glyph
// dots, gaps, the cursor and its blink, the display-off value, and both
// graphic-variant layers. Glyphs come from character-generator RAM where the
// test does not depend on the ROM font contents.
#include "display/rasteriser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

#include "display/char_generator.h"

namespace {

// A custom glyph written into slot 1 as rows: a frame with a dot inside.
constexpr uint8_t glyph_rows[8] = {0x1F, 0x11, 0x15, 0x11, 0x1F, 0x00, 0x04, 0x0A};

bool glyph_dot(int32_t x, int32_t y) {
    return y < 8 && ((glyph_rows[y] >> (4 - x)) & 1);
}

class Rasteriser : public testing::Test {
protected:
    static std::unique_ptr<LcdController> make(int32_t columns, int32_t rows, uint32_t rom = 1) {
        auto c = lcd_create(columns, rows, rom);
        lcd_command(*c, 0x48);
        for (uint8_t r : glyph_rows) lcd_write_data(*c, r);
        lcd_command(*c, 0x80);
        return c;
    }
    static void commands(LcdController& c, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) lcd_command(c, b);
    }
    static uint8_t dot(const LcdController& c, int32_t x, int32_t y) {
        return c.dots[static_cast<size_t>(y * c.dot_width + x)];
    }
    static int32_t lit_count(const LcdController& c) {
        return static_cast<int32_t>(std::count(c.dots.begin(), c.dots.end(), 1));
    }
    // The 5 x 9 text cell with its top-left dot at (x0, y0) against a
    // predicate over cell column and row.
    template <typename Want>
    static void expect_cell(const LcdController& c, int32_t x0, int32_t y0, Want want) {
        for (int32_t k = 0; k < 9; ++k) {
            for (int32_t l = 0; l < 5; ++l) {
                EXPECT_EQ(dot(c, x0 + l, y0 + k), want(l, k)) << "cell dot " << l << "," << k;
            }
        }
    }
};

constexpr int32_t glyph_dot_total = 5 + 2 + 3 + 2 + 5 + 0 + 1 + 2;

TEST_F(Rasteriser, BlankDisplayRendersAllZero) {
    auto c = make(20, 4);
    lcd_render(*c, 0);  // display off: the cells are 255
    lcd_command(*c, 0x0C);
    lcd_render(*c, 0);
    EXPECT_EQ(std::count(c->dots.begin(), c->dots.end(), 0), 5280);
}

TEST_F(Rasteriser, GlyphLandsInItsCellOnly) {
    struct Case {
        int32_t columns, rows;
        uint8_t address;  // Set DDRAM address instruction
        int32_t x0, y0;
    };
    const Case cases[] = {
        {20, 4, 0x80, 0, 0},    {20, 4, 0xC0, 0, 9},   {20, 4, 0x94, 0, 18}, {20, 4, 0xD4, 0, 27},
        {20, 4, 0xE7, 114, 27}, {20, 4, 0x93, 114, 0}, {16, 2, 0xCF, 90, 9}, {16, 2, 0x8F, 90, 0},
        {40, 1, 0xA7, 234, 0},  {8, 1, 0x87, 42, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << k.columns << "x" << k.rows << " address 0x" << std::hex << int{k.address});
        auto c = make(k.columns, k.rows);
        commands(*c, {0x0C, k.address});
        lcd_write_data(*c, 0x01);
        lcd_render(*c, 0);
        expect_cell(*c, k.x0, k.y0, [](int32_t l, int32_t r) { return glyph_dot(l, r) ? 1 : 0; });
        EXPECT_EQ(lit_count(*c), glyph_dot_total);
    }
}

TEST_F(Rasteriser, RomGlyphDots) {
    auto c = make(20, 4);
    commands(*c, {0x0C});
    lcd_write_data(*c, 0x41);
    lcd_render(*c, 0);
    // 'A' of the second ROM font: columns 1F 24 44 24 1F.
    const uint8_t columns[5] = {0x1F, 0x24, 0x44, 0x24, 0x1F};
    expect_cell(*c, 0, 0,
                [&](int32_t l, int32_t k) { return k < 8 ? (columns[l] >> (7 - k)) & 1 : 0; });
}

TEST_F(Rasteriser, DisplayOffFillsCellsButNotGaps) {
    auto c = make(20, 4);
    commands(*c, {0x0F, 0xC0});  // a cursor must not show through
    lcd_write_data(*c, 0x01);
    lcd_command(*c, 0x08);
    lcd_render(*c, 0);
    for (int32_t y = 0; y < c->dot_height; ++y) {
        for (int32_t x = 0; x < c->dot_width; ++x) {
            const bool covered = x % 6 != 5 && y < 36;
            ASSERT_EQ(dot(*c, x, y), covered ? 255 : 0) << x << "," << y;
        }
    }
}

TEST_F(Rasteriser, CursorStylesAndBlink) {
    struct Case {
        uint8_t control;
        int32_t phase;
        bool block, underline;
    };
    const Case cases[] = {
        {0x0C, 0, false, false}, {0x0C, 1, false, false}, {0x0E, 0, false, true},
        {0x0E, 1, false, true},  {0x0D, 0, true, false},  {0x0D, 1, false, false},
        {0x0F, 0, true, false},  {0x0F, 1, false, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "control 0x" << std::hex << int{k.control} << " phase " << k.phase);
        auto c = make(20, 4);
        commands(*c, {k.control, 0xC3});
        lcd_write_data(*c, 0x01);
        lcd_command(*c, 0xC3);
        lcd_render(*c, k.phase);
        expect_cell(*c, 18, 9, [&](int32_t l, int32_t r) {
            return k.block || (k.underline && r == 8) || glyph_dot(l, r) ? 1 : 0;
        });
        const int32_t cursor_dots = k.block ? 45 - glyph_dot_total : k.underline ? 5 : 0;
        EXPECT_EQ(lit_count(*c), glyph_dot_total + cursor_dots);
    }
}

TEST_F(Rasteriser, CursorOnlyWhereItsAddressIsShown) {
    struct Case {
        int32_t columns, rows;
        std::vector<uint8_t> instructions;
        int32_t x0, y0;  // underline cell, or -1 for none
    };
    const Case cases[] = {
        {20, 4, {0x0E, 0xC0}, 0, 9},
        {20, 4, {0x0E, 0xA8}, -1, 0},
        {20, 4, {0x0E, 0xE8}, -1, 0},
        {20, 4, {0x0E, 0x85, 0x40}, 30, 0},   // CGRAM addressed: cursor stays at 0x05
        {20, 4, {0x0E, 0x18, 0x80}, 114, 0},  // shifted left: address 0 at column 19
        {16, 2, {0x0E, 0x18, 0x80}, -1, 0},   // shifted left: address 0 in no cell
        {20, 4, {0x0E, 0x1C, 0x93}, 0, 0},    // shifted right: 0x13 at column 0
        {16, 2, {0x0E, 0x90}, -1, 0},
        {40, 1, {0x0E, 0xCF}, -1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(k.instructions));
        auto c = make(k.columns, k.rows);
        for (uint8_t b : k.instructions) lcd_command(*c, b);
        lcd_render(*c, 0);
        if (k.x0 < 0) {
            EXPECT_EQ(lit_count(*c), 0);
        } else {
            EXPECT_EQ(lit_count(*c), 5);
            for (int32_t l = 0; l < 5; ++l) EXPECT_EQ(dot(*c, k.x0 + l, k.y0 + 8), 1);
        }
    }
}

TEST_F(Rasteriser, CellAddressRowsAndShift) {
    struct Case {
        int32_t columns, rows, shift, row, column, want;
    };
    const Case cases[] = {
        {20, 4, 1, 0, 19, 0x00}, {20, 4, 1, 1, 19, 0x40}, {20, 4, 1, 2, 19, 0x14},
        {20, 4, 1, 3, 0, 0x55},  {20, 4, -1, 0, 0, 0x13}, {20, 4, -41, 2, 0, 0x27},
        {20, 4, 0, 7, 2, 0x56},  {20, 4, 45, 1, 0, 0x45}, {40, 4, 0, 0, 25, 0x05},
        {16, 2, 39, 1, 0, 0x67}, {16, 2, 1, 1, 39, 0x40}, {16, 2, 0, 3, 0, 0x40},
        {40, 1, 0, 0, 39, 39},   {40, 1, -1, 0, 0, 79},   {8, 1, 75, 0, 4, 79},
        {8, 1, 75, 0, 5, 0},     {8, 1, 75, 0, 7, 2},     {115, 64, 0, 1, 0, 32},
        {115, 64, 0, 2, 0, 16},  {115, 64, 0, 3, 15, 63}, {115, 64, 1, 1, 15, 32},
        {115, 64, -1, 0, 0, 15},
    };
    for (const Case& k : cases) {
        auto c = lcd_create(k.columns, k.rows, 1);
        c->display_shift = k.shift;
        EXPECT_EQ(lcd_cell_address(*c, k.row, k.column), k.want)
            << k.columns << "x" << k.rows << " shift " << k.shift << " cell " << k.row << ","
            << k.column;
        EXPECT_GE(c->display_shift, 0);
    }
}

// Every cell draws the code at the address lcd_cell_address names, for
// every address and a spread of shifts in each geometry. The probe dot is
// lit for the glyph placed at that address and unlit for spaces.
TEST_F(Rasteriser, RenderedCellsFollowCellAddresses) {
    struct Case {
        int32_t columns, rows;
        uint8_t code;
        int32_t cell_width, cell_height, probe_y;
    };
    const Case cases[] = {
        {20, 4, 0x01, 6, 9, 0}, {16, 2, 0x01, 6, 9, 0}, {40, 1, 0x01, 6, 9, 0},
        {40, 4, 0x01, 6, 9, 0}, {8, 1, 0x01, 6, 9, 0},  {115, 64, 0x10, 8, 16, 1},
    };
    for (const Case& k : cases) {
        auto c = make(k.columns, k.rows);
        lcd_command(*c, 0x0C);
        for (int32_t shift = -90; shift <= 90; shift += 13) {
            for (int32_t address = 0; address < 128; ++address) {
                c->ddram.fill(0x20);
                c->ddram[static_cast<size_t>(address)] = k.code;
                c->display_shift = shift;
                lcd_render(*c, 0);
                for (int32_t i = 0; i < c->rows; ++i) {
                    for (int32_t j = 0; j < c->columns && k.cell_width * j < c->dot_width; ++j) {
                        const bool shown = lcd_cell_address(*c, i, j) == address;
                        ASSERT_EQ(dot(*c, k.cell_width * j, k.cell_height * i + k.probe_y), shown)
                            << k.columns << "x" << k.rows << " shift " << shift << " address "
                            << address << " cell " << i << "," << j;
                    }
                }
            }
        }
    }
}

TEST_F(Rasteriser, ShiftMovesTextWithinEachRow) {
    auto c = make(20, 4);
    commands(*c, {0x0C, 0x80});
    lcd_write_data(*c, 0x01);
    commands(*c, {0x1C});  // text one column right
    lcd_render(*c, 0);
    EXPECT_EQ(c->display_shift, 19);
    expect_cell(*c, 6, 0, [](int32_t l, int32_t r) { return glyph_dot(l, r) ? 1 : 0; });
    EXPECT_EQ(lit_count(*c), glyph_dot_total);
    commands(*c, {0x18, 0x18});  // one column left of home: address 0 at column 19
    lcd_render(*c, 0);
    expect_cell(*c, 114, 0, [](int32_t l, int32_t r) { return glyph_dot(l, r) ? 1 : 0; });
    EXPECT_EQ(lit_count(*c), glyph_dot_total);
}

TEST_F(Rasteriser, ChangedSlotShowsAtNextRender) {
    auto c = make(20, 4);
    commands(*c, {0x0C});
    lcd_write_data(*c, 0x01);
    lcd_render(*c, 0);
    commands(*c, {0x4D});  // row 5 of slot 1
    lcd_write_data(*c, 0x1F);
    lcd_render(*c, 0);
    for (int32_t l = 0; l < 5; ++l) EXPECT_EQ(dot(*c, l, 5), 1);
    EXPECT_EQ(lit_count(*c), glyph_dot_total + 5);
}

// Graphic variant, text layer: 8 x 16 cells, the last two clipped at x 115.
// The cursor block and the display-off value give font-independent dots.
TEST_F(Rasteriser, GraphicTextLayerIsClipped) {
    auto g = lcd_create(115, 64, 1);
    commands(*g, {0x0D, 0x87});  // block cursor at byte 14: row 0, column 14
    lcd_render(*g, 0);
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 112; x < 115; ++x) EXPECT_EQ(dot(*g, x, y), 1) << x << "," << y;
    }
    // Nothing beyond the edge wraps into the next dot row (spaces are blank).
    EXPECT_EQ(lit_count(*g), 3 * 16);
    lcd_write_data(*g, 0x20);  // on to byte 15, column 15: entirely beyond the edge
    lcd_render(*g, 0);
    EXPECT_EQ(lit_count(*g), 0);
    lcd_command(*g, 0x8F);  // word 15 is byte 30: row 2, column 14
    lcd_render(*g, 0);
    EXPECT_EQ(lit_count(*g), 3 * 16);
    EXPECT_EQ(dot(*g, 112, 32), 1);
    commands(*g, {0x08});
    lcd_render(*g, 0);
    EXPECT_EQ(std::count(g->dots.begin(), g->dots.end(), 255), 115 * 64);
}

TEST_F(Rasteriser, GraphicUnderlineAndFontCells) {
    auto g = lcd_create(115, 64, 1);
    commands(*g, {0x0E, 0x90});  // row 1 column 0: the underline is cell row 15
    lcd_render(*g, 0);
    for (int32_t l = 0; l < 8; ++l) EXPECT_EQ(dot(*g, l, 31), 1);
    EXPECT_EQ(lit_count(*g), 8);
    // Codes 0..15 show code 16's glyph (a triangle), never CGRAM.
    commands(*g, {0x0C, 0x40});
    lcd_write_data(*g, 0x1F);
    commands(*g, {0x80});
    lcd_write_data(*g, 0x00);
    lcd_write_data(*g, 0x10);
    lcd_render(*g, 0);
    int32_t lit = 0;
    for (int32_t k = 0; k < 16; ++k) {
        for (int32_t l = 0; l < 8; ++l) {
            EXPECT_EQ(dot(*g, l, k), dot(*g, 8 + l, k)) << l << "," << k;
            lit += dot(*g, l, k);
        }
    }
    EXPECT_GT(lit, 0);
}

TEST_F(Rasteriser, GraphicRamRows) {
    auto g = lcd_create(115, 64, 1);
    std::fill(g->dots.begin(), g->dots.end(), 7);
    // Graphic on, display off: neither the display bit nor a cursor matters.
    commands(*g, {0x0B, 0x36});
    struct Write {
        uint8_t vertical, horizontal;
        std::vector<uint8_t> bytes;
    };
    // A write at byte 920 or above sends the counter to byte 0, so each of
    // those gets its own address.
    const Write writes[] = {
        {0x80, 0x80, {0x80}},              // row 0, x 0
        {0x80, 0x86, {0x00, 0x01, 0xFF}},  // row 0, x 111; byte 14 not shown
        {0x80, 0x88, {0xC0}},              // row 32, x 0 and 1
        {0x9F, 0x86, {0x81}},              // byte 1004: row 31, x 96 and 103
        {0x9F, 0x8E, {0x01}},              // byte 1020: row 63, x 103
        {0x9F, 0x8F, {0xFF}},              // byte 1022: not shown
    };
    for (const Write& w : writes) {
        commands(*g, {w.vertical, w.horizontal});
        for (uint8_t b : w.bytes) lcd_write_data(*g, b);
    }
    g->gdram[1021] = 0x80;  // the last byte a row reads: row 63, x 104
    lcd_render(*g, 0);
    const int32_t lit[][2] = {{0, 0},   {111, 0},  {0, 32},   {1, 32},
                              {96, 31}, {103, 31}, {103, 63}, {104, 63}};
    for (const auto& p : lit) EXPECT_EQ(dot(*g, p[0], p[1]), 1) << p[0] << "," << p[1];
    EXPECT_EQ(lit_count(*g), 8);
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 115; ++x) EXPECT_EQ(dot(*g, x, y) == 7, x >= 112) << x << "," << y;
    }
}

}  // namespace
