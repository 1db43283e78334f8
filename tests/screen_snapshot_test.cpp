// The screen snapshot of a started session: the character set's Unicode
// text, the cells and custom characters against what the device sent, and
// the cursor against the dots the same snapshot holds.
#include "protocol/screen_snapshot.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "protocol/status_line.h"
#include "tests/screen_cells.h"

namespace {

TEST(CharacterText, AsciiLettersOfTheSetCustomCharactersAndUnmatchedCodes) {
    struct Case {
        uint8_t code;
        const char* text;
    };
    const Case cases[] = {
        {'A', "A"},       {' ', " "},       {0x5C, "\\"},     {0x7E, "~"},
        {0xE9, "\u00E9"}, {0xD7, "\u00D7"}, {0x80, "\u0411"}, {0xAD, "\u042F"},
        {0x96, "\u266C"}, {0xB4, "\u20A7"}, {0x00, "\u24EA"}, {0x07, "\u2466"},
        {0x0F, "\u246E"}, {0x14, "\uFFFD"}, {0x15, "\uFFFD"}, {0xFF, "\u00FF"},
    };
    for (const Case& c : cases) EXPECT_EQ(character_text(c.code), c.text) << int(c.code);
}

class Snapshot : public SessionTest {
protected:
    void feed(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) session.interpret_byte(b);
    }

    // The dot of the snapshot at (x, y).
    static uint8_t dot(const ScreenSnapshot& s, int x, int y) {
        return s.dots[static_cast<size_t>(y * s.dot_width + x)];
    }
};

TEST_F(Snapshot, CellsTextAndGlyphsAfterAKnownStream) {
    // The worked status line, then row 2 with letters of the European set.
    feed({0x9E, 0x94, 0x07, 0x95, 0x2A, 0x93, 0x05, 0xA0, 0x42});
    feed({0x8C, 0x02, 'G', 'r', 0xF6, 0xDF, 'e', ' ', '2', '5', 0xB0, 'C'});
    for (int i = 0; i < 10; ++i) session.interpret_byte(' ');
    const ScreenSnapshot s = screen();
    const LcdController lcd = controller();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 20; ++column) {
            EXPECT_EQ(s.cells[row][column], lcd.ddram[screen_row_address[row] + column])
                << row << "," << column;
        }
    }
    EXPECT_EQ(s.text[0], "RX07④①①⓪②②②⑤HP②②TX42");
    EXPECT_EQ(s.text[1], "Größe 25°C          ");
    EXPECT_EQ(s.text[2], std::string(20, ' '));
    for (size_t slot = 0; slot < 8; ++slot) {
        for (size_t row = 0; row < 8; ++row) {
            EXPECT_EQ(s.glyphs[slot][row], startup_glyphs[8 * slot + row]) << slot << "/" << row;
        }
    }
    EXPECT_TRUE(s.display_on);
    EXPECT_EQ(s.dot_width * s.dot_height, static_cast<int>(s.dots.size()));
    EXPECT_EQ(s.dots, lcd.dots);  // the snapshot rendered the controller
}

TEST_F(Snapshot, CursorShownAsTheDotsShowIt) {
    ScreenSnapshot s = screen();
    EXPECT_EQ(s.cursor.style, ScreenCursor::Style::none);  // start-up hides it
    EXPECT_FALSE(s.cursor.shown);

    feed({0x97, 0x05, 0x03, 0x98, 0x02});  // row 3, column 5; blinking block
    const int x = 6 * 4, y = 9 * 2;        // the cell's top-left dot
    s = screen();
    EXPECT_EQ(s.cursor.address, 0x18);
    EXPECT_EQ(s.cursor.row, 3);
    EXPECT_EQ(s.cursor.column, 5);
    EXPECT_EQ(s.cursor.style, ScreenCursor::Style::block);
    EXPECT_TRUE(s.cursor.shown);
    EXPECT_EQ(dot(s, x, y), 1);
    session.on_timer();  // the blink's hidden phase
    s = screen();
    EXPECT_FALSE(s.cursor.shown);
    EXPECT_EQ(dot(s, x, y), 0);

    feed({0x98, 0x01});  // underline: shown in either phase
    s = screen();
    EXPECT_EQ(s.cursor.style, ScreenCursor::Style::underline);
    EXPECT_TRUE(s.cursor.shown);
    EXPECT_EQ(dot(s, x, y + 8), 1);

    feed({0x97, 0x15, 0x01});  // column 21 of row 1: address 0x14, row 3's first cell
    EXPECT_EQ(screen().cursor.row, 3);
    EXPECT_EQ(screen().cursor.column, 1);
    feed({0x97, 0x29, 0x01});  // address 0x28: no cell shows it
    s = screen();
    EXPECT_EQ(s.cursor.address, 0x28);
    EXPECT_EQ(s.cursor.row, 0);
    EXPECT_FALSE(s.cursor.shown);
}

}  // namespace
