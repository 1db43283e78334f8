// The controller model: creation and clamping, the address-counter wrap
// rules of every geometry, display shift, character-generator RAM access,
// Function set and graphic-RAM addressing.
#include "display/lcd_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<LcdController> make(int32_t columns, int32_t rows) {
    auto c = lcd_create(columns, rows, 1);
    EXPECT_NE(c, nullptr);
    return c;
}

void commands(LcdController& c, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) lcd_command(c, b);
}

void write_all(LcdController& c, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) lcd_write_data(c, b);
}

TEST(LcdController, CreateClampsGeometry) {
    struct Case {
        int32_t columns, rows;
        int32_t want_columns, want_rows, stride, width, height;
        bool graphic;
    };
    const Case cases[] = {
        {20, 4, 20, 4, 20, 120, 44, false},  {16, 2, 16, 2, 40, 96, 26, false},
        {40, 1, 40, 1, 80, 240, 17, false},  {3, 3, 8, 2, 40, 48, 26, false},
        {115, 64, 16, 4, 16, 115, 64, true}, {115, 63, 40, 4, 20, 240, 44, false},
        {-5, 0, 8, 1, 80, 48, 17, false},    {41, 9, 40, 4, 20, 240, 44, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.columns << "x" << k.rows);
        auto c = make(k.columns, k.rows);
        EXPECT_EQ(c->columns, k.want_columns);
        EXPECT_EQ(c->rows, k.want_rows);
        EXPECT_EQ(c->row_stride, k.stride);
        EXPECT_EQ(c->dot_width, k.width);
        EXPECT_EQ(c->dot_height, k.height);
        EXPECT_EQ(c->dot_count, k.width * k.height);
        EXPECT_EQ(c->dots.size(), static_cast<size_t>(k.width * k.height));
        EXPECT_EQ(lcd_is_graphic(*c), k.graphic);
    }
}

TEST(LcdController, NewControllerState) {
    auto c = lcd_create(20, 4, 7);
    EXPECT_EQ(lcd_get_address(*c), 0);
    EXPECT_EQ(c->rom_select, 7u);
    EXPECT_EQ(c->entry_mode, 0x02);
    EXPECT_EQ(c->display_control, 0x00);
    EXPECT_EQ(c->cgram_cursor, lcd_no_cursor);
    EXPECT_EQ(c->gdram_row_latch, 0xFF);
    EXPECT_TRUE(std::all_of(c->ddram.begin(), c->ddram.end(), [](uint8_t b) { return b == 0x20; }));
    EXPECT_TRUE(std::all_of(c->cgram.begin(), c->cgram.end(), [](uint8_t b) { return b == 0xAA; }));
    EXPECT_TRUE(std::all_of(c->dots.begin(), c->dots.end(), [](uint8_t b) { return b == 0; }));
    auto g = make(115, 64);
    EXPECT_TRUE(std::all_of(g->gdram.begin(), g->gdram.end(), [](uint8_t b) { return b == 0; }));
    std::unique_ptr<LcdController> none;
    lcd_destroy(none);
    lcd_destroy(c);
    EXPECT_EQ(c, nullptr);
}

// One step of the display-RAM address counter from a set address: a data
// write in the given entry mode, or a cursor-move instruction.
TEST(LcdController, AddressCounterWrapRules) {
    struct Case {
        int32_t columns, rows;
        uint8_t set_address;  // Set DDRAM address instruction
        uint8_t entry;        // entry mode for a write, or 0 to run `instruction`
        uint8_t instruction;
        int32_t want;  // ddram_cursor afterwards
    };
    const Case cases[] = {
        // 4 and 2 rows, counting up: 0x27 -> 0x40, 0x67 -> 0x00; from the
        // unreachable ranges on to the next rule.
        {20, 4, 0xA7, 0x06, 0, 0x40},
        {20, 4, 0xE7, 0x06, 0, 0x00},
        {20, 4, 0x93, 0x06, 0, 0x14},
        {20, 4, 0xBF, 0x06, 0, 0x40},
        {20, 4, 0xFF, 0x06, 0, 0x00},
        {20, 4, 0xA8, 0x06, 0, 0x29},
        {16, 2, 0xA7, 0x06, 0, 0x40},
        {16, 2, 0xE7, 0x06, 0, 0x00},
        // Counting down: 0x40 -> 0x27, 0x00 -> 0x67.
        {20, 4, 0xC0, 0x04, 0, 0x27},
        {20, 4, 0x80, 0x04, 0, 0x67},
        {20, 4, 0xE8, 0x04, 0, 0x67},
        {16, 2, 0xC0, 0x04, 0, 0x27},
        // 1 row: 0..79 in both directions.
        {40, 1, 0xCF, 0x06, 0, 0x00},
        {40, 1, 0xFF, 0x06, 0, 0x00},
        {40, 1, 0xA7, 0x06, 0, 0x28},
        {40, 1, 0xC0, 0x06, 0, 0x41},
        {40, 1, 0x80, 0x04, 0, 79},
        // Cursor move instructions use the same rules.
        {20, 4, 0xC0, 0, 0x10, 0x27},
        {20, 4, 0xA7, 0, 0x14, 0x40},
        {20, 4, 0x80, 0, 0x10, 0x67},
        {40, 1, 0x80, 0, 0x13, 79},
        // Graphic text mode: Set DDRAM address is a word address; the byte
        // counter runs 0..63.
        {115, 64, 0x9F, 0x06, 0, 63},
        {115, 64, 0x80, 0x04, 0, 63},
        {115, 64, 0xBF, 0x06, 0, 0},
        {115, 64, 0x90, 0, 0x14, 33},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << k.columns << "x" << k.rows << " at 0x" << std::hex << int{k.set_address}
                     << " entry " << int{k.entry} << " instruction " << int{k.instruction});
        auto c = make(k.columns, k.rows);
        if (k.entry != 0) {
            commands(*c, {k.entry, k.set_address});
            lcd_write_data(*c, 'x');
        } else {
            commands(*c, {k.set_address, k.instruction});
        }
        EXPECT_EQ(c->ddram_cursor, k.want);
        EXPECT_EQ(c->display_shift, 0);
    }
    // From byte 63 the graphic text counter goes to 0.
    auto g = make(115, 64);
    commands(*g, {0x9F});
    write_all(*g, {'a', 'b'});
    EXPECT_EQ(g->ddram_cursor, 0);
    EXPECT_EQ(g->ddram[62], 'a');
    EXPECT_EQ(g->ddram[63], 'b');
}

TEST(LcdController, WritesRunThroughBothLinesAndBack) {
    auto c = make(20, 4);
    lcd_command(*c, 0x06);
    for (int32_t n = 0; n < 41; ++n) lcd_write_data(*c, static_cast<uint8_t>(0x30 + n));
    for (int32_t a = 0; a < 0x28; ++a) EXPECT_EQ(c->ddram[a], 0x30 + a) << a;
    EXPECT_EQ(c->ddram[0x28], 0x20);
    EXPECT_EQ(c->ddram[0x40], 0x30 + 40);
    for (int32_t n = 41; n < 80; ++n) lcd_write_data(*c, 'z');
    EXPECT_EQ(lcd_get_address(*c), 0x00);
    EXPECT_EQ(c->ddram[0x67], 'z');
    EXPECT_EQ(c->ddram[0x68], 0x20);
}

TEST(LcdController, ReadReturnsDisplayRamAndAdvances) {
    auto c = make(20, 4);
    commands(*c, {0xC5});
    write_all(*c, {0x41, 0x42});
    commands(*c, {0xC5});
    EXPECT_EQ(lcd_read_data(*c), 0x41);
    EXPECT_EQ(lcd_read_data(*c), 0x42);
    EXPECT_EQ(lcd_get_address(*c), 0x47);
}

TEST(LcdController, DisplayShift) {
    struct Case {
        std::vector<uint8_t> instructions;
        int32_t writes;
        int32_t want;
    };
    const Case cases[] = {
        {{0x07}, 3, 3},
        {{0x05}, 3, -3},
        {{0x18, 0x18}, 0, 2},
        {{0x1C}, 0, -1},
        {{0x18, 0x02}, 0, 0},
        {{0x1C, 0x01}, 0, 0},
        {{0x14, 0x10}, 0, 0},
        {{0x07, 0x40}, 3, 0},  // CGRAM writes do not shift
        {{0x18, 0x0C, 0x06}, 2, 1},
    };
    for (const Case& k : cases) {
        auto c = make(20, 4);
        for (uint8_t b : k.instructions) lcd_command(*c, b);
        for (int32_t n = 0; n < k.writes; ++n) lcd_write_data(*c, 'x');
        EXPECT_EQ(c->display_shift, k.want) << testing::PrintToString(k.instructions);
    }
}

TEST(LcdController, DisplayShiftFoldsInsteadOfOverflowing) {
    auto c = make(20, 4);
    c->display_shift = (1 << 30) - 1;
    lcd_command(*c, 0x18);
    EXPECT_EQ(c->display_shift, 1 << 30);
    lcd_command(*c, 0x18);  // one beyond the limit: folded, residue kept
    EXPECT_EQ(c->display_shift, ((1 << 30) + 1) % 20);
    c->display_shift = -(1 << 30);
    commands(*c, {0x05});
    lcd_write_data(*c, 'x');
    EXPECT_EQ(c->display_shift, -(((1 << 30) + 1) % 20));
}

TEST(LcdController, CgramStoresRowsAsColumns) {
    auto c = make(20, 4);
    lcd_command(*c, 0x40);
    write_all(*c, {0x10, 0x08, 0x04, 0x02, 0x01, 0x1F, 0xE0, 0xF1});
    const uint8_t columns[] = {0x85, 0x44, 0x24, 0x14, 0x0D, 0xAA, 0xAA, 0xAA};
    for (size_t x = 0; x < 8; ++x) EXPECT_EQ(c->cgram[x], columns[x]) << x;
    EXPECT_EQ(c->cgram[8], 0xAA);  // slot 1 untouched
    lcd_command(*c, 0x40);
    const uint8_t rows[] = {0x10, 0x08, 0x04, 0x02, 0x01, 0x1F, 0x00, 0x11};
    for (uint8_t want : rows) EXPECT_EQ(lcd_read_data(*c), want);
    EXPECT_EQ(lcd_get_address(*c), 8);
    // A row of a fresh slot reads back the 0xAA pattern: rows 0, 2, 4, 6 lit.
    EXPECT_EQ(lcd_read_data(*c), 0x1F);
    EXPECT_EQ(lcd_read_data(*c), 0x00);
}

TEST(LcdController, CgramCounterRunsThroughAllSixteenSlots) {
    auto c = make(20, 4);
    lcd_command(*c, 0x40);
    for (int32_t n = 0; n < 64; ++n) lcd_write_data(*c, 0x1F);
    lcd_write_data(*c, 0x00);  // the 65th byte: row 0 of slot 8
    EXPECT_EQ(lcd_get_address(*c), 1);
    EXPECT_EQ(c->cgram_cursor, 65);
    for (int32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(c->cgram[64 + x], 0x2A);
        EXPECT_EQ(c->cgram[x], 0xFF);
    }
    EXPECT_EQ(c->cgram[5], 0xAA);
    // Counting down: 0x3F -> 0x3E, 0 -> 127; counting up: 127 -> 0.
    commands(*c, {0x04, 0x7F});
    lcd_write_data(*c, 0);
    EXPECT_EQ(lcd_get_address(*c), 0x3E);
    lcd_command(*c, 0x40);
    lcd_write_data(*c, 0);
    EXPECT_EQ(c->cgram_cursor, 127);
    EXPECT_EQ(lcd_get_address(*c), 0x3F);
    lcd_command(*c, 0x06);
    lcd_write_data(*c, 0x10);  // row 7 of slot 15: column 0 lit
    EXPECT_EQ(c->cgram_cursor, 0);
    EXPECT_EQ(c->cgram[120], 0xAB);
    EXPECT_EQ(c->cgram[127], 0xAA);
}

TEST(LcdController, OnlySetDdramAddressLeavesCgramAddressing) {
    auto c = make(20, 4);
    commands(*c, {0x85, 0x48, 0x01});
    lcd_write_data(*c, 0x00);
    EXPECT_TRUE(std::all_of(c->ddram.begin(), c->ddram.end(), [](uint8_t b) { return b == 0x20; }));
    EXPECT_EQ(c->cgram[8], 0x2A);
    // Return home and a cursor move keep CGRAM addressing; the move goes to
    // the display-RAM counter.
    commands(*c, {0x02, 0x14});
    lcd_write_data(*c, 0x00);
    EXPECT_EQ(c->cgram_cursor, 10);
    EXPECT_EQ(c->ddram_cursor, 1);
    lcd_command(*c, 0x83);
    lcd_write_data(*c, 'q');
    EXPECT_EQ(c->ddram[3], 'q');
    EXPECT_EQ(c->cgram_cursor, lcd_no_cursor);
}

TEST(LcdController, ClearDisplayKeepsModesAndOtherMemories) {
    auto g = make(115, 64);
    commands(*g, {0x0F, 0x07, 0x36, 0x80, 0x80});
    lcd_write_data(*g, 0x5A);
    commands(*g, {0x34, 0x41});
    lcd_write_data(*g, 0x1F);
    commands(*g, {0x82});
    lcd_write_data(*g, 'x');
    EXPECT_EQ(g->ddram[4], 'x');
    lcd_command(*g, 0x01);
    EXPECT_EQ(g->ddram[4], 0x20);
    EXPECT_EQ(g->gdram[0], 0x5A);
    EXPECT_EQ(g->cgram[0], 0xAA | 0x40);
    EXPECT_EQ(g->display_control, 0x0F);
    EXPECT_EQ(g->entry_mode, 0x07);
    EXPECT_EQ(g->ddram_cursor, 0);
    EXPECT_EQ(g->display_shift, 0);
}

TEST(LcdController, FunctionSet) {
    struct Case {
        std::vector<uint8_t> instructions;
        uint8_t extended, graphic;
    };
    const Case cases[] = {
        {{0x36}, 1, 1},       {{0x36, 0x34}, 1, 0},       {{0x36, 0x30}, 0, 1}, {{0x32}, 0, 0},
        {{0x34, 0x36}, 1, 1}, {{0x36, 0x30, 0x32}, 0, 1}, {{0x36, 0x3F}, 1, 1},
    };
    for (const Case& k : cases) {
        auto g = make(115, 64);
        for (uint8_t b : k.instructions) lcd_command(*g, b);
        EXPECT_EQ(g->extended_set, k.extended) << testing::PrintToString(k.instructions);
        EXPECT_EQ(g->graphic_on, k.graphic) << testing::PrintToString(k.instructions);
    }
    auto t = make(20, 4);
    commands(*t, {0x38, 0x36});
    EXPECT_EQ(t->extended_set, 0);
    EXPECT_EQ(t->graphic_on, 0);
    lcd_write_data(*t, 'x');
    EXPECT_EQ(t->ddram[0], 'x');
}

TEST(LcdController, GraphicRamTwoByteAddress) {
    auto g = make(115, 64);
    commands(*g, {0x36, 0x83});
    EXPECT_EQ(g->gdram_row_latch, 3);
    EXPECT_EQ(g->gdram_cursor, 0);
    lcd_command(*g, 0x85);
    EXPECT_EQ(g->gdram_cursor, 32 * 3 + 2 * 5);
    EXPECT_EQ(g->gdram_row_latch, 0xFF);

    struct Case {
        uint8_t vertical, horizontal;
        int32_t byte;
    };
    // The address bits beyond 5 (vertical) and 4 (horizontal) are ignored;
    // bytes from 920 up can be named and written.
    const Case cases[] = {
        {0x9C, 0x8B, 918}, {0xFF, 0xFF, 1022}, {0xBE, 0x9F, 990}, {0xE0, 0xF0, 0}};
    for (const Case& k : cases) {
        commands(*g, {k.vertical, k.horizontal});
        lcd_write_data(*g, 0xA5);
        EXPECT_EQ(g->gdram[k.byte], 0xA5) << k.byte;
        EXPECT_EQ(g->gdram_cursor, k.byte + 1 >= 920 ? 0 : k.byte + 1) << k.byte;
    }
    // The counter runs from byte 919 to 0 whatever the entry mode says.
    commands(*g, {0x04, 0x9C, 0x8B});
    write_all(*g, {1, 2, 3});
    EXPECT_EQ(g->gdram[918], 1);
    EXPECT_EQ(g->gdram[919], 2);
    EXPECT_EQ(g->gdram[0], 3);
    EXPECT_EQ(g->gdram_cursor, 1);
}

TEST(LcdController, GraphicVariantReadsAndAddresses) {
    auto g = make(115, 64);
    lcd_command(*g, 0x90);
    EXPECT_EQ(g->ddram_cursor, 32);
    EXPECT_EQ(lcd_get_address(*g), 16);
    lcd_write_data(*g, 'x');
    EXPECT_EQ(g->ddram[32], 'x');
    EXPECT_EQ(lcd_get_address(*g), 16);  // byte 33 halved
    // With graphic RAM on, addresses go to graphic RAM; a read still comes
    // from display RAM while the advance moves the graphic counter.
    commands(*g, {0x36, 0x80, 0x84});
    lcd_command(*g, 0x90);
    EXPECT_EQ(g->ddram_cursor, 33);
    EXPECT_EQ(g->gdram_cursor, 8);
    g->ddram[33] = 'y';
    EXPECT_EQ(lcd_read_data(*g), 'y');
    EXPECT_EQ(g->ddram_cursor, 33);
    EXPECT_EQ(g->gdram_cursor, 9);
    EXPECT_EQ(g->gdram_row_latch, 0x10);
    EXPECT_EQ(g->cgram_cursor, lcd_no_cursor);
}

TEST(LcdController, GetAddress) {
    struct Case {
        int32_t columns, rows;
        std::vector<uint8_t> instructions;
        int32_t want;
    };
    const Case cases[] = {
        {20, 4, {0xD3}, 0x53}, {20, 4, {0xFF}, 0x7F},       {40, 1, {0xCF}, 0x4F},
        {20, 4, {0x65}, 0x25}, {20, 4, {0xD3, 0x7F}, 0x3F}, {20, 4, {0x65, 0xD3}, 0x53},
        {115, 64, {0xBF}, 63}, {115, 64, {0x81}, 1},
    };
    for (const Case& k : cases) {
        auto c = make(k.columns, k.rows);
        for (uint8_t b : k.instructions) lcd_command(*c, b);
        EXPECT_EQ(lcd_get_address(*c), k.want) << testing::PrintToString(k.instructions);
    }
}

}  // namespace
