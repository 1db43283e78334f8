// Screen cell primitives on a fresh 20 x 4 controller: addressing without
// clamping, the character filter, clearing, centring, scrolling and cursor
// styles. Cells are checked in display RAM at the addresses the 4-row
// geometry gives them.
#include "protocol/cell_primitives.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/screen_cells.h"

namespace {

// A bare controller, without the start-up screen.
class CellPrimitives : public RoutineTest {
protected:
    void SetUp() override { display = lcd_create(20, 4, 1); }

    void write_row(int row, const std::string& text) {
        for (size_t i = 0; i < text.size(); ++i) {
            display->ddram[static_cast<size_t>(screen_row_address[row - 1]) + i] =
                static_cast<uint8_t>(text[i]);
        }
    }
};

TEST_F(CellPrimitives, GotoCellFormsAddressesWithoutClamping) {
    struct Case {
        uint8_t column, row;
        int address;
    };
    const Case cases[] = {
        {1, 1, 0x00},  {20, 1, 0x13},  {1, 2, 0x40},   {1, 3, 0x14}, {20, 4, 0x67},
        {21, 1, 0x14}, {0, 1, 0x7F},   {1, 0, 0x00},   {1, 5, 0x00}, {1, 255, 0x00},
        {0, 3, 0x13},  {255, 4, 0x52}, {200, 2, 0x07},
    };
    for (const Case& c : cases) {
        lcd_command(*display, 0x40);  // CGRAM addressing must end too
        goto_cell(*display, c.column, c.row);
        EXPECT_EQ(display->ddram_cursor, c.address) << int(c.column) << "," << int(c.row);
        EXPECT_EQ(display->cgram_cursor, lcd_no_cursor);
    }
}

TEST_F(CellPrimitives, CellWriteAndReadBackAreUnfilteredAndMoveOn) {
    put_char_at(*display, 0xFF, 20, 2);
    EXPECT_EQ(cell(20, 2), 0xFF);
    EXPECT_EQ(get_address(*display), 0x54);
    put_char_at(*display, 0x0A, 3, 3);
    EXPECT_EQ(get_char_at(*display, 3, 3), 0x0A);
    EXPECT_EQ(get_address(*display), 0x17);
}

TEST_F(CellPrimitives, PutCharFilterBoundaries) {
    struct Case {
        uint8_t in;
        int written;  // -1: dropped
    };
    const Case cases[] = {
        {0x00, 0x00}, {0x07, 0x07}, {0x08, -1},   {0x0A, -1},   {0x1F, -1}, {0x20, 0x20},
        {0x5B, 0x5B}, {0x5C, 0x03}, {0x5D, 0x5D}, {0x7E, 0x7E}, {0x7F, -1}, {0x80, 0x80},
        {0xA5, 0xA5}, {0xFD, 0xFD}, {0xFE, -1},   {0xFF, -1},
    };
    for (const Case& c : cases) {
        display->ddram[0] = 0x2A;
        goto_cell(*display, 1, 1);
        put_char(*display, c.in);
        if (c.written < 0) {
            EXPECT_EQ(display->ddram[0], 0x2A) << int(c.in);
            EXPECT_EQ(display->ddram_cursor, 0) << int(c.in);
        } else {
            EXPECT_EQ(display->ddram[0], c.written) << int(c.in);
            EXPECT_EQ(display->ddram_cursor, 1) << int(c.in);
        }
    }
}

TEST_F(CellPrimitives, DroppedCharacterLeavesItsCellToTheNext) {
    goto_cell(*display, 1, 2);
    put_string(*display, "A\r\nB\\");
    EXPECT_EQ(row_text(2).substr(0, 4), std::string("AB\x03 "));
}

TEST_F(CellPrimitives, PutStringStopsAtFirstZero) {
    const uint8_t text[] = {'X', 0, 'Y', 0};
    goto_cell(*display, 1, 1);
    put_string(*display, text);
    EXPECT_EQ(cell(1, 1), 'X');
    EXPECT_EQ(cell(2, 1), ' ');
    EXPECT_EQ(get_address(*display), 1);
}

TEST_F(CellPrimitives, ClearScreenLeavesCgramAddressing) {
    write_row(3, "something");
    lcd_command(*display, 0x48);
    clear_screen(*display);
    for (int row = 1; row <= 4; ++row) EXPECT_EQ(row_text(row), std::string(20, ' '));
    EXPECT_EQ(display->cgram_cursor, lcd_no_cursor);
    EXPECT_EQ(display->ddram_cursor, 0);
}

TEST_F(CellPrimitives, ClearRowWritesPlainSpacesOnlyThere) {
    for (int row = 1; row <= 4; ++row) write_row(row, std::string(20, '\x02'));
    clear_row(*display, 3);
    EXPECT_EQ(row_text(3), std::string(20, ' '));
    EXPECT_EQ(row_text(2), std::string(20, '\x02'));
    EXPECT_EQ(row_text(4), std::string(20, '\x02'));
    EXPECT_EQ(display->ddram_cursor, 0x14);
    clear_row(*display, 9);  // out of range: row 1
    EXPECT_EQ(row_text(1), std::string(20, ' '));
}

TEST_F(CellPrimitives, PutCenteredPlacesTextsOfEveryLength) {
    write_row(2, "xxxxxxxxxxxxxxxxxxxx");
    put_centered(*display, 2, "Hi");
    EXPECT_EQ(row_text(2), "         Hi         ");

    put_centered(*display, 2, "");
    EXPECT_EQ(row_text(2), std::string(20, ' '));
    EXPECT_EQ(display->ddram_cursor, 0x4A);  // row 2, column 11

    put_centered(*display, 1, "Seven!!");
    EXPECT_EQ(row_text(1), "      Seven!!       ");
    put_centered(*display, 1, "abcdefghijklmnopqrs");  // 19: the spare cell goes right
    EXPECT_EQ(row_text(1), "abcdefghijklmnopqrs ");
}

TEST_F(CellPrimitives, PutCenteredLongTextsStartAtColumnOne) {
    // 21 characters: the last goes to the next address, row 3 column 1.
    put_centered(*display, 1, "abcdefghijklmnopqrstu");
    EXPECT_EQ(row_text(1), "abcdefghijklmnopqrst");
    EXPECT_EQ(cell(1, 3), 'u');
    // 23 characters on row 3 also start at column 1 and never touch the
    // cell before the row (the last cell of row 1).
    display->ddram[0x13] = 'Z';
    put_centered(*display, 3, "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(row_text(3), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(display->ddram[0x13], 'Z');
    EXPECT_EQ(display->ddram[0x7F], ' ');
}

TEST_F(CellPrimitives, CursorStyles) {
    const uint8_t expected[] = {0x00, 0x0E, 0x0D, 0x0C};
    for (uint8_t style = 1; style <= 3; ++style) {
        set_cursor_style(*display, style);
        EXPECT_EQ(display->display_control, expected[style]);
    }
    set_cursor_style(*display, 1);
    set_cursor_style(*display, 0);  // instruction 0x00 does nothing
    EXPECT_EQ(display->display_control, 0x0E);
    set_cursor_style(*display, 4);
    set_cursor_style(*display, 255);
    EXPECT_EQ(display->display_control, 0x0E);
    EXPECT_EQ(display->ddram_cursor, 0);
}

class Scrolling : public CellPrimitives {
protected:
    void SetUp() override {
        CellPrimitives::SetUp();
        // Custom glyphs and bytes the filter would drop must move unchanged.
        write_row(1, std::string("row one \x00\x07\xFF\x7F", 12) + "........");
        write_row(2, std::string("row two \x01\x06\xFE\x1B", 12) + "--------");
        write_row(3, "row three ..........");
        write_row(4, "row four ...........");
        before = {row_text(1), row_text(2), row_text(3), row_text(4)};
    }
    std::array<std::string, 4> before;
};

TEST_F(Scrolling, UpAllRows) {
    scroll_up(*display, 4);
    EXPECT_EQ(row_text(1), before[1]);
    EXPECT_EQ(row_text(2), before[2]);
    EXPECT_EQ(row_text(3), before[3]);
    EXPECT_EQ(row_text(4), std::string(20, ' '));
    EXPECT_EQ(display->ddram_cursor, 0x54);
}

TEST_F(Scrolling, UpLowerRowsKeepsStatusLine) {
    scroll_up(*display, 3);
    EXPECT_EQ(row_text(1), before[0]);
    EXPECT_EQ(row_text(2), before[2]);
    EXPECT_EQ(row_text(3), before[3]);
    EXPECT_EQ(row_text(4), std::string(20, ' '));
}

TEST_F(Scrolling, DownAllRows) {
    scroll_down(*display, 4);
    EXPECT_EQ(row_text(1), std::string(20, ' '));
    EXPECT_EQ(row_text(2), before[0]);
    EXPECT_EQ(row_text(3), before[1]);
    EXPECT_EQ(row_text(4), before[2]);
    EXPECT_EQ(display->ddram_cursor, 0x00);
}

TEST_F(Scrolling, DownLowerRowsKeepsStatusLine) {
    scroll_down(*display, 3);
    EXPECT_EQ(row_text(1), before[0]);
    EXPECT_EQ(row_text(2), std::string(20, ' '));
    EXPECT_EQ(row_text(3), before[1]);
    EXPECT_EQ(row_text(4), before[2]);
    EXPECT_EQ(display->ddram_cursor, 0x40);
}

}  // namespace
