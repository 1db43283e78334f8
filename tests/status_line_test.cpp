// Status line and screen elements, drawn on the display as start-up leaves
// it (custom glyphs loaded, display on, idle screen). Row 1 is compared
// cell by cell; glyph codes 0..7 are written as \x0N.
#include "protocol/status_line.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "protocol/cell_primitives.h"
#include "tests/screen_cells.h"

namespace {

class StatusLine : public RoutineTest {
protected:
    // One dot row of a custom character, read back through the controller.
    uint8_t glyph_row(int glyph, int row) {
        lcd_command(*display, static_cast<uint8_t>(0x40 + 8 * glyph + row));
        const uint8_t value = lcd_read_data(*display);
        lcd_command(*display, 0x80);
        return value;
    }
};

TEST_F(StatusLine, StartUpShowsIdleRowWithCursorHome) {
    EXPECT_EQ(row_text(1), idle_row);
    for (int row = 2; row <= 4; ++row) EXPECT_EQ(row_text(row), std::string(20, ' '));
    EXPECT_EQ(display->ddram_cursor, 0);
    EXPECT_EQ(display->cgram_cursor, lcd_no_cursor);
    EXPECT_EQ(display->display_control, 0x0C);
    EXPECT_EQ(composition.last_mode_flags, 0);
}

TEST_F(StatusLine, StartUpGlyphsAreUnderlinedExceptTheBackslash) {
    for (int glyph = 0; glyph < 8; ++glyph) {
        EXPECT_EQ(glyph_row(glyph, 7), glyph == 3 ? 0x00 : 0x1F) << glyph;
    }
    EXPECT_EQ(glyph_row(2, 3), 0x00);  // the status-line blank is only a line
    EXPECT_EQ(glyph_row(3, 2), 0x10);  // backslash starts top left
    EXPECT_EQ(glyph_row(3, 6), 0x01);
    EXPECT_EQ(glyph_row(1, 0), 0x1F);
}

TEST_F(StatusLine, BracketedRoutinesKeepTheAddressCounter) {
    const std::function<void()> draws[] = {
        [&] { draw_link_bar(*display); },
        [&] { draw_meter(*display, 7); },
        [&] { draw_meter(*display, 200); },
        [&] { draw_left_number(*display, composition, 42); },
        [&] { draw_right_number(*display, composition, 123); },
        [&] { draw_mode_field(*display, composition, 0x5A, 1, 1); },
        [&] { show_flash_text(*display, composition, reinterpret_cast<const uint8_t*>("ABCD")); },
        [&] { draw_idle_screen(*display, composition); },
    };
    for (auto draw : draws) {
        goto_cell(*display, 11, 2);
        draw();
        EXPECT_EQ(display->ddram_cursor, 0x4A);
        EXPECT_EQ(display->cgram_cursor, lcd_no_cursor);
    }
}

TEST_F(StatusLine, BracketTakesACgramAddressAsDisplayAddress) {
    lcd_command(*display, 0x40 | 0x13);
    draw_meter(*display, 3);
    EXPECT_EQ(display->cgram_cursor, lcd_no_cursor);
    EXPECT_EQ(display->ddram_cursor, 0x13);
    EXPECT_EQ(row_text(1).substr(5, 5), std::string("\x01\x00\x02\x02\x02", 5));
}

TEST_F(StatusLine, MeterLevels) {
    draw_meter(*display, 11);
    EXPECT_EQ(row_text(1).substr(5, 5), "\x01\x01\x01\x01+");
    draw_meter(*display, 5);
    EXPECT_EQ(row_text(1).substr(5, 5), std::string("\x01\x01\x00\x02\x02", 5));
    draw_meter(*display, 10);
    EXPECT_EQ(row_text(1).substr(5, 5), "\x01\x01\x01\x01\x01");
    draw_meter(*display, 12);
    draw_meter(*display, 255);
    EXPECT_EQ(row_text(1).substr(5, 5), "\x01\x01\x01\x01\x01");
    draw_meter(*display, 0);
    EXPECT_EQ(row_text(1), idle_row);
}

TEST_F(StatusLine, NumbersOfTwoAndThreeDigits) {
    draw_right_number(*display, composition, 7);
    EXPECT_EQ(row_text(1).substr(18, 2), "07");
    draw_left_number(*display, composition, 0);
    EXPECT_EQ(row_text(1).substr(2, 2), "00");
    draw_right_number(*display, composition, 123);
    EXPECT_EQ(row_text(1).substr(18, 2), "12");
    EXPECT_EQ(cell(1, 3), '3');
    draw_left_number(*display, composition, 255);
    EXPECT_EQ(row_text(1).substr(2, 3), "255");
    EXPECT_EQ(display->ddram_cursor, 0);
}

TEST_F(StatusLine, OverrideReplacesNumberUntilSwitchedOff) {
    composition.left_override = {'A', 'B', 'C', 0};
    draw_left_number(*display, composition, 5);
    EXPECT_EQ(row_text(1).substr(0, 5), std::string("ABC\x00\x02", 5));
    composition.left_override[0] = 0;
    draw_left_number(*display, composition, 5);
    EXPECT_EQ(row_text(1).substr(0, 4), "AB05");

    composition.right_override = {'x', 'y', 'z', 0};
    draw_right_number(*display, composition, 9);
    EXPECT_EQ(row_text(1).substr(16, 4), std::string("xyz\x00", 4));
    EXPECT_EQ(draw_right_override(*display, composition), 1);
    EXPECT_EQ(draw_left_override(*display, composition), 0);
}

TEST_F(StatusLine, ModeFieldForms) {
    draw_mode_field(*display, composition, 0x81, 0,
                    1);  // bit 7 wins over bit 0; column 5 untouched
    EXPECT_EQ(row_text(1).substr(11, 5),
              "\x02"
              "ESC\x02");
    EXPECT_EQ(cell(5, 1), 0x02);
    draw_mode_field(*display, composition, 0x01, 0, 1);
    EXPECT_EQ(row_text(1).substr(11, 5),
              "\x02"
              "CLL\x02");
    draw_mode_field(*display, composition, 0x06, 1, 1);  // P before B
    EXPECT_EQ(row_text(1).substr(11, 4), "\x05\x02P\x02");
    draw_mode_field(*display, composition, 0x54, 1, 1);
    EXPECT_EQ(row_text(1).substr(11, 4), "\x05HBW");
}

TEST_F(StatusLine, ModeFieldMarkersSwapWithBit3) {
    draw_mode_field(*display, composition, 0x08, 1, 1);
    EXPECT_EQ(cell(16, 1), 0x04);
    EXPECT_EQ(cell(5, 1), 0x02);
    draw_mode_field(*display, composition, 0x00, 1, 1);
    EXPECT_EQ(cell(16, 1), 0x02);
    EXPECT_EQ(cell(5, 1), 0x04);
}

TEST_F(StatusLine, ModeFieldWithoutMarkerWritesOnlyFourCells) {
    display->ddram[4] = 'm';
    display->ddram[15] = 'n';
    draw_mode_field(*display, composition, 0x00, 1, 0);
    EXPECT_EQ(row_text(1).substr(11, 4), "\x05\x02\x02\x02");
    EXPECT_EQ(cell(5, 1), 'm');
    EXPECT_EQ(cell(16, 1), 'n');
}

TEST_F(StatusLine, UnchangedModeFieldTouchesNothing) {
    draw_mode_field(*display, composition, 0x40, 1, 1);
    const auto ddram = display->ddram;
    lcd_command(*display, 0x40 | 0x21);  // CGRAM addressing survives only if untouched
    draw_mode_field(*display, composition, 0x40, 0, 1);
    draw_mode_field(*display, composition, 0x40, 2, 1);  // only 1 forces
    EXPECT_EQ(display->cgram_cursor, 0x21);
    EXPECT_EQ(display->ddram, ddram);
    EXPECT_EQ(composition.last_mode_flags, 0x40);
}

TEST_F(StatusLine, FlashTextUsesExactlyFourBytes) {
    const uint8_t text[] = {'O', ' ', 0, 'K', 'Z'};
    show_flash_text(*display, composition, text);
    EXPECT_EQ(row_text(1).substr(11, 5), std::string("O\x02\x00K\x02", 5));
    EXPECT_EQ(composition.flash_countdown, 10);
}

TEST_F(StatusLine, BusyIndicatorCycles) {
    composition.busy_column = 3;
    composition.busy_row = 4;
    const uint8_t glyphs[] = {0x03, '|', '/', '-', 0xA5, '.', '_'};
    uint8_t step = 0;
    for (int i = 0; i < 7; ++i) {
        const uint8_t next = draw_busy_step(*display, composition, step);
        EXPECT_EQ(cell(3, 4), glyphs[i]) << i;
        EXPECT_EQ(next, (i + 1) % 7);
        step = next;
    }
    EXPECT_EQ(display->ddram_cursor, 0x57);  // after the cell: no bracket
}

TEST_F(StatusLine, BusyIndicatorWithoutPositionWritesAnInvisibleAddress) {
    draw_busy_step(*display, composition, 0);
    EXPECT_EQ(display->ddram[0x7F], 0x03);
    EXPECT_EQ(row_text(1), idle_row);
}

TEST_F(StatusLine, DisplayTestScreen) {
    clear_screen(*display);
    draw_display_test(*display);
    EXPECT_EQ(row_text(1), "1                  2");
    EXPECT_EQ(row_text(2), "    Display Test    ");
    EXPECT_EQ(row_text(3), "      1 2 3 4       ");
    EXPECT_EQ(row_text(4), "3                  4");
}

TEST_F(StatusLine, EscAndCllReplaceTheArrowInColumn16) {
    for (uint8_t form : {uint8_t{0x80}, uint8_t{0x01}}) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << int(form));
        draw_mode_field(*display, composition, 0x08, 1, 1);
        ASSERT_EQ(cell(16, 1), 0x04);
        draw_mode_field(*display, composition, form, 0, 1);
        EXPECT_EQ(cell(16, 1), 0x02);  // the closing blank, not the arrow
        EXPECT_EQ(cell(5, 1), 0x02);   // column 5 untouched: no arrow there either
    }
}

}  // namespace
