// The host command interpreter driven byte by byte from the start-up screen,
// as the reader thread drives it: argument counting, command bytes inside
// arguments, repaint requests per command, the status-line commands, flash
// expiry through the timer, and a long random stream.
#include "protocol/interpreter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "tests/screen_cells.h"

namespace {

const std::string blank_row(20, ' ');

class Interpreter : public SessionTest {
protected:
    void feed(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) session.interpret_byte(b);
    }

    void feed(const std::string& bytes) {
        for (char b : bytes) session.interpret_byte(static_cast<uint8_t>(b));
    }

    // One dot row of a custom character, as the screen shows it.
    uint8_t pattern_row(int slot, int row) {
        return screen().glyphs[static_cast<size_t>(slot)][static_cast<size_t>(row)];
    }
};

TEST_F(Interpreter, NonCommandBytesWhileIdleChangeNothing) {
    const LcdController before = controller();
    for (int b = 0; b <= 0x84; ++b) session.interpret_byte(static_cast<uint8_t>(b));
    for (int b = 0xA7; b <= 0xFF; ++b) session.interpret_byte(static_cast<uint8_t>(b));
    const LcdController after = controller();
    EXPECT_EQ(after.ddram, before.ddram);
    EXPECT_EQ(after.cgram, before.cgram);
    EXPECT_EQ(after.ddram_cursor, before.ddram_cursor);
    EXPECT_EQ(host().cmd_state, ST_IDLE);
    EXPECT_EQ(session.repaint_count(), 0u);
}

TEST_F(Interpreter, RepaintsPerCommand) {
    struct Case {
        std::initializer_list<uint8_t> bytes;
        uint64_t repaints;
    };
    const Case cases[] = {
        {{0x85}, 0},
        {{0x86}, 0},
        {{0x87}, 1},
        {{0x88, 0x89}, 0},
        {{0x89}, 1},
        {{0x8A, 0x02}, 2},
        {{0x8D, 'a', 'b', 0x00}, 1},
        {{0x8E, 'a'}, 1},
        {{0x8F, 'a'}, 1},
        {{0x90}, 1},
        {{0x91}, 1},
        {{0x92}, 1},
        {{0x93, 0x03}, 1},
        {{0x94, 0x01}, 1},
        {{0x95, 0x01}, 1},
        {{0x96, 0x10}, 1},
        {{0x97, 0x05, 0x02}, 1},
        {{0x98, 0x01}, 1},
        {{0x99, 0x02, 'o', 'k', 0x00}, 1},
        {{0x9A, 0x87}, 0},
        {{0x9B, 0x87}, 0},
        {{0x9C}, 1},
        {{0x9D}, 1},
        {{0x9E}, 1},
        {{0x9F}, 1},
        {{0xA0, 0x00}, 1},
        {{0xA1, 'a', 'b', 'c', 'd'}, 1},
        {{0xA3}, 0},
        {{0xA4, 0x02, 0x02}, 0},
        {{0xA5, 0x06, 1, 2, 3, 4, 5, 6, 7}, 0},
        {{0xA6, 0x02, 'a', 'b', 'c'}, 1},
    };
    for (const Case& c : cases) {
        const uint64_t start = session.repaint_count();
        size_t i = 0;
        for (uint8_t b : c.bytes) {
            session.interpret_byte(b);
            ++i;
            // Only the last byte of a command may request a repaint, apart
            // from the clear-row command byte itself.
            if (i < c.bytes.size() && *c.bytes.begin() != 0x8A) {
                EXPECT_EQ(session.repaint_count(), start) << std::hex << int(*c.bytes.begin());
            }
        }
        EXPECT_EQ(session.repaint_count() - start, c.repaints) << std::hex << int(*c.bytes.begin());
        EXPECT_EQ(host().cmd_state, ST_IDLE) << std::hex << int(*c.bytes.begin());
    }
}

// The command table is what a decoder of recorded streams reads: each
// command must take exactly the bytes its shape gives (a text ends at its
// 0, a 0 among counted arguments is data) and repaint as its entry says.
TEST_F(Interpreter, EveryCommandTakesTheBytesOfItsShapeInTheCommandTable) {
    for (const CommandInfo& info : command_table) {
        std::vector<uint8_t> bytes(1 + info.arguments, 0x00);
        bytes[0] = command_byte(info.command);
        if (info.text_to_zero) bytes.insert(bytes.end(), {'a', 'b', 0x00});
        const uint64_t start = session.repaint_count();
        for (size_t i = 0; i < bytes.size(); ++i) {
            session.interpret_byte(bytes[i]);
            EXPECT_EQ(host().cmd_state == ST_IDLE, i + 1 == bytes.size())
                << info.name << ", byte " << i;
        }
        const uint64_t expected = info.repaint == Repaint::twice    ? 2
                                  : info.repaint == Repaint::at_end ? 1
                                                                    : 0;
        EXPECT_EQ(session.repaint_count() - start, expected) << info.name;
    }
}

TEST_F(Interpreter, ClearRowRepaintsOnCommandByteAndAfterRow) {
    feed({0x8C, 0x02});
    feed(std::string(20, 'q'));
    const uint64_t start = session.repaint_count();
    session.interpret_byte(0x8A);
    EXPECT_EQ(session.repaint_count(), start + 1);
    EXPECT_EQ(row_text(2), std::string(20, 'q'));
    session.interpret_byte(0x02);
    EXPECT_EQ(session.repaint_count(), start + 2);
    EXPECT_EQ(row_text(2), blank_row);
}

TEST_F(Interpreter, CommandByteInsideArgumentIsData) {
    feed({0x8C, 0x02, 0x89});
    EXPECT_EQ(cell(1, 2), 0x89);
    EXPECT_EQ(row_text(1), idle_row);  // no clear happened
    EXPECT_EQ(host().cmd_state, ST_ROW_TEXT_CELLS);
}

TEST_F(Interpreter, FullScreenTextDiscardsOneByteAndPlacesFourRows) {
    std::string text;
    for (char row = '1'; row <= '4'; ++row) text += std::string(19, row) + '|';
    session.interpret_byte(0x8B);
    session.interpret_byte(0x89);  // discarded whatever its value
    const uint64_t start = session.repaint_count();
    feed(text.substr(0, 79));
    EXPECT_EQ(session.repaint_count(), start);
    feed(text.substr(79));
    EXPECT_EQ(session.repaint_count(), start + 1);
    EXPECT_EQ(row_text(1), text.substr(0, 20));
    EXPECT_EQ(row_text(2), text.substr(20, 20));
    EXPECT_EQ(row_text(3), text.substr(40, 20));
    EXPECT_EQ(row_text(4), text.substr(60, 20));
    EXPECT_EQ(host().cmd_state, ST_IDLE);
}

TEST_F(Interpreter, FullScreenTextDiscardsAZeroByte) {
    feed({0x8B, 0x00});
    feed(std::string(80, 'z'));
    for (int row = 1; row <= 4; ++row) EXPECT_EQ(row_text(row), std::string(20, 'z'));
}

TEST_F(Interpreter, RowTextCountsDroppedBytesAndWritesZeroAsGlyph) {
    feed({0x8C, 0x03});
    feed(
        std::string("AB\x00"
                    "C\n",
                    5));  // 0 is glyph 0; the line feed is dropped
    feed(std::string(15, 'x'));
    EXPECT_EQ(host().cmd_state, ST_IDLE);  // twenty bytes taken
    EXPECT_EQ(row_text(3), std::string("AB\x00", 3) + "C" + std::string(15, 'x') + " ");
}

TEST_F(Interpreter, BlankFilledRowTextBlanksFromTheFirstZero) {
    feed({0xA2, 0x02, 'A', 'B', 0x00});
    feed(std::string("CDEFGHIJKLMNOPQ\x00R", 17));
    EXPECT_EQ(host().cmd_state, ST_IDLE);
    EXPECT_EQ(row_text(2), "AB" + std::string(18, ' '));

    feed({0xA2, 0x04});
    feed(
        std::string("\x01\x02"
                    "34567890123456789!",
                    20));
    EXPECT_EQ(row_text(4), std::string("\x01\x02"
                                       "34567890123456789!",
                                       20));
}

TEST_F(Interpreter, TextToZeroHasNoLengthLimit) {
    const uint64_t start = session.repaint_count();
    feed({0x8D, 0x00});
    EXPECT_EQ(session.repaint_count(), start + 1);
    EXPECT_EQ(row_text(1), idle_row);

    feed({0x97, 0x01, 0x02, 0x8D});
    feed(std::string(30, 'w'));  // no repositioning: row 2 runs on into row 4
    EXPECT_EQ(host().cmd_state, ST_TEXT_TO_ZERO);
    session.interpret_byte(0x00);
    EXPECT_EQ(host().cmd_state, ST_IDLE);
    EXPECT_EQ(row_text(2), std::string(20, 'w'));
    EXPECT_EQ(row_text(4), std::string(10, 'w') + std::string(10, ' '));
    EXPECT_EQ(screen().cursor.address, 0x40 + 30);
}

TEST_F(Interpreter, CentredText) {
    feed({0x8C, 0x02});
    feed(std::string(20, '#'));
    feed({0x99, 0x02, 'H', 'i', 0x00});
    EXPECT_EQ(row_text(2), std::string(9, ' ') + "Hi" + std::string(9, ' '));
    feed({0x99, 0x02, 0x00});
    EXPECT_EQ(row_text(2), blank_row);
}

TEST_F(Interpreter, OverlongCentredTextKeepsItsStartAndEndsAtTheZero) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    feed({0x99, 0x03});
    feed(text);
    EXPECT_EQ(host().cmd_state, ST_CENTRED_TEXT);
    session.interpret_byte(0x00);
    EXPECT_EQ(host().cmd_state, ST_IDLE);
    // The first 23 characters are kept and start at column 1; the three
    // that do not fit the row run on where the address counter goes next.
    EXPECT_EQ(row_text(3), text.substr(0, 20));
    EXPECT_EQ(row_text(2), text.substr(20, 3) + std::string(17, ' '));
    EXPECT_EQ(host().text_buf[23], 0);
    // The next byte is a command again.
    session.interpret_byte(0x89);
    EXPECT_EQ(row_text(1), blank_row);
}

TEST_F(Interpreter, CursorPositionStyleAndBackspace) {
    feed({0x97, 0x05, 0x03});
    EXPECT_EQ(screen().cursor.address, 0x18);
    feed({0x8E, 'a', 0x8F, 'b'});
    EXPECT_EQ(row_text(3).substr(4, 2), "ab");
    session.interpret_byte(0x90);
    EXPECT_EQ(row_text(3).substr(4, 2), "a ");
    EXPECT_EQ(screen().cursor.address, 0x19);
    feed({0x98, 0x02});
    EXPECT_EQ(controller().display_control, 0x0D);
}

TEST_F(Interpreter, ScrollingKeepsCustomGlyphs) {
    feed({0x8C, 0x02});
    feed(
        std::string("\x00\x01\x02\x03\x04\x05\x06\x07"
                    "abcdefghijkl",
                    20));
    const std::string row2 = row_text(2);
    session.interpret_byte(0x9D);  // lower rows down: row 2 to row 3
    EXPECT_EQ(row_text(1), idle_row);
    EXPECT_EQ(row_text(2), blank_row);
    EXPECT_EQ(row_text(3), row2);
    session.interpret_byte(0x91);  // all rows up: row 3 to row 2, status line leaves
    EXPECT_EQ(row_text(1), blank_row);
    EXPECT_EQ(row_text(2), row2);
    session.interpret_byte(0x92);
    EXPECT_EQ(row_text(3), row2);
    session.interpret_byte(0x9C);
    EXPECT_EQ(row_text(2), row2);
    EXPECT_EQ(row_text(4), blank_row);
}

TEST_F(Interpreter, DisplayTestClearsFirst) {
    feed({0x8C, 0x02});
    feed(std::string(20, '#'));
    session.interpret_byte(0x9F);
    EXPECT_EQ(row_text(1), "1                  2");
    EXPECT_EQ(row_text(2), "    Display Test    ");
    EXPECT_EQ(row_text(3), "      1 2 3 4       ");
    EXPECT_EQ(row_text(4), "3                  4");
}

TEST_F(Interpreter, WorkedStatusLineExample) {
    feed({0x9E, 0x94, 0x07, 0x95, 0x2A, 0x93, 0x05, 0xA0, 0x42});
    EXPECT_EQ(session.repaint_count(), 5u);
    const std::string expected = std::string("RX07\x04\x01\x01\x00\x02\x02\x02\x05", 12) +
                                 "HP\x02\x02"
                                 "TX42";
    EXPECT_EQ(row_text(1), expected);
    EXPECT_EQ(screen().cursor.address, 0);
}

TEST_F(Interpreter, StatusLineCommandsKeepTheCursorOfDeviceText) {
    feed({0x97, 0x03, 0x02, 0x8D, 'a'});
    feed({0x00, 0x9E, 0x93, 0x09, 0x94, 0x63, 0x96, 0x08, 0xA1, 'W', 'A', 'I', 'T'});
    feed({0x8D, 'b', 0x00});
    EXPECT_EQ(row_text(2).substr(2, 2), "ab");
}

TEST_F(Interpreter, OverrideShowsAtNextNumberAndHides) {
    feed({0xA6, 0x01, 'A', 'B', 'C'});
    EXPECT_EQ(row_text(1), idle_row);  // nothing drawn yet
    feed({0x94, 0x05});
    EXPECT_EQ(row_text(1).substr(0, 4), std::string("ABC\x00", 4));
    feed({0xA6, 0x01, 0x00, 0x00, 0x00, 0x94, 0x05});
    EXPECT_EQ(row_text(1).substr(0, 4), "AB05");

    feed({0xA6, 0x00, 'x', 'y', 'z', 0x95, 0x01});
    EXPECT_EQ(row_text(1).substr(16, 4), std::string("xyz\x00", 4));
    feed({0xA6, 0x02, 'p', 'q', 'r', 0x95, 0x01});
    EXPECT_EQ(row_text(1).substr(16, 4), std::string("pqr\x00", 4));
}

TEST_F(Interpreter, ModeFieldAfterResetDrawsOnlyWhenForced) {
    feed({0x96, 0x40});
    feed({0x8C, 0x02, 'q'});
    for (int i = 0; i < 19; ++i) session.interpret_byte('q');
    session.with_state([](SessionState& s) { s.blink.counter = 9; });
    session.interpret_byte(0x87);
    EXPECT_EQ(session.with_state([](const SessionState& s) { return s.blink.counter; }), 0);
    for (int row = 1; row <= 4; ++row) EXPECT_EQ(row_text(row), blank_row);
    EXPECT_EQ(screen().cursor.address, 0);
    feed({0x96, 0x00});
    EXPECT_EQ(row_text(1), blank_row);
    feed({0xA0, 0x00});
    EXPECT_EQ(row_text(1).substr(11, 4), "\x05\x02\x02\x02");
    EXPECT_EQ(cell(5, 1), 0x04);
}

TEST_F(Interpreter, FlashTextExpiresOnTheTenthTick) {
    feed({0xA0, 0x40, 0xA1, 'F', 'L', 'S', 'H'});
    EXPECT_EQ(row_text(1).substr(11, 4), "FLSH");
    const uint64_t start = session.repaint_count();
    for (int tick = 1; tick <= 9; ++tick) session.on_timer();
    EXPECT_EQ(row_text(1).substr(11, 4), "FLSH");
    EXPECT_EQ(session.repaint_count(), start);
    session.on_timer();
    EXPECT_EQ(row_text(1).substr(11, 4), "\x05H\x02\x02");
    EXPECT_EQ(session.repaint_count(), start + 1);
    for (int tick = 0; tick < 30; ++tick) session.on_timer();
    EXPECT_EQ(session.repaint_count(), start + 1);
}

TEST_F(Interpreter, ResetCancelsFlashExpiry) {
    feed({0xA1, 'F', 'L', 'S', 'H'});
    for (int tick = 0; tick < 5; ++tick) session.on_timer();
    session.interpret_byte(0x87);
    feed({0x8C, 0x01});
    feed(std::string(20, '-'));
    const uint64_t start = session.repaint_count();
    for (int tick = 0; tick < 20; ++tick) session.on_timer();
    EXPECT_EQ(row_text(1), std::string(20, '-'));
    EXPECT_EQ(session.repaint_count(), start);
}

TEST_F(Interpreter, BusyCycleAtItsPosition) {
    feed({0xA4, 0x14, 0x04});
    const uint8_t glyphs[] = {0x03, '|', '/', '-', 0xA5, '.', '_', 0x03};
    for (uint8_t glyph : glyphs) {
        session.interpret_byte(0xA3);
        EXPECT_EQ(cell(20, 4), glyph);
    }
    EXPECT_EQ(host().busy_step, 1);
    EXPECT_EQ(session.repaint_count(), 0u);
}

TEST_F(Interpreter, CustomCharacterSlotAboveSevenIsSlotZero) {
    const auto slot0 = controller().cgram;
    feed({0xA5, 0x09, 0x1F, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x1F});
    // Column bytes of slot 0: rows 0, 2, 4, 6 set (bits 7, 5, 3, 1) and the
    // underline of row 7 (bit 0) kept.
    const auto cgram = controller().cgram;
    for (int column = 0; column < 5; ++column) EXPECT_EQ(cgram[column], 0xAB);
    EXPECT_EQ(std::vector<uint8_t>(cgram.begin() + 8, cgram.end()),
              std::vector<uint8_t>(slot0.begin() + 8, slot0.end()));
    // Still addressing character memory: the next character lands in row 7.
    feed({0x8E, 0x00});
    const LcdController after = controller();
    for (int column = 0; column < 5; ++column) EXPECT_EQ(after.cgram[column], 0xAA);
    EXPECT_EQ(after.cgram_cursor, 8);
    EXPECT_EQ(row_text(1), idle_row);
}

TEST_F(Interpreter, MillionRandomBytesKeepEveryIndexInRange) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 1'000'000; ++i) {
        session.interpret_byte(static_cast<uint8_t>(byte(random)));
        if (i % 1000 == 0) session.on_timer();
        const HostInterpreter h = host();
        ASSERT_LE(h.cmd_state, ST_OVERRIDE_TEXT);
        ASSERT_LE(h.byte_count, 80);
    }
    const LcdController after = controller();
    EXPECT_GE(after.ddram_cursor, 0);
    EXPECT_LT(after.ddram_cursor, 128);
    EXPECT_GE(after.cgram_cursor, lcd_no_cursor);
    EXPECT_LT(after.cgram_cursor, 128);
    EXPECT_GT(session.repaint_count(), 0u);
}

TEST_F(Interpreter, CustomCharacterSlotsOneToSevenRewriteOnlyTheirOwnPattern) {
    for (uint8_t slot = 1; slot <= 7; ++slot) {
        SCOPED_TRACE(testing::Message() << "slot " << int(slot));
        const auto ddram = controller().ddram;
        std::array<std::array<uint8_t, 8>, 8> before{};
        for (int s = 0; s < 8; ++s)
            for (int r = 0; r < 8; ++r) before[s][r] = pattern_row(s, r);
        // Rows 0..6 unlike every start-up glyph, and different for each slot.
        const std::array<uint8_t, 7> rows = {0x11, 0x0A, 0x04, 0x0A, 0x11, slot, 0x15};
        feed({0xA5, slot});
        for (uint8_t r : rows) session.interpret_byte(r);
        EXPECT_EQ(host().cmd_state, ST_IDLE);
        EXPECT_EQ(controller().ddram, ddram);  // no pattern byte reached the screen
        EXPECT_EQ(controller().cgram_cursor, 8 * slot + 7);
        for (int r = 0; r < 7; ++r) EXPECT_EQ(pattern_row(slot, r), rows[r]) << "row " << r;
        EXPECT_EQ(pattern_row(slot, 7), before[slot][7]);  // the underline row is kept
        for (int s = 0; s < 8; ++s) {
            if (s == slot) continue;
            for (int r = 0; r < 8; ++r) EXPECT_EQ(pattern_row(s, r), before[s][r]) << s << "/" << r;
        }
    }
    EXPECT_EQ(session.repaint_count(), 0u);
}

TEST_F(Interpreter, BatchesKeepTheOrderAndRepaintOnceWhenAsked) {
    // A row text split over two batches lands as one: the first batch ends
    // inside the command and asks for nothing.
    const std::vector<uint8_t> head = {0x8C, 0x02, 'b', 'a', 't'};
    std::vector<uint8_t> tail(17, '.');
    tail.push_back(0x91);  // scroll up: its own repaint, in the same batch
    session.interpret_bytes(head);
    EXPECT_EQ(session.repaint_count(), 0u);
    session.interpret_bytes(tail);
    EXPECT_EQ(session.repaint_count(), 1u);
    EXPECT_EQ(row_text(1), "bat" + std::string(17, '.'));
    // Commands that ask for no repaint (busy step, busy position) stay silent.
    session.interpret_bytes(std::vector<uint8_t>{0xA4, 0x01, 0x03, 0xA3, 0x85});
    EXPECT_EQ(session.repaint_count(), 1u);
    EXPECT_EQ(cell(1, 3), 0x03);  // the busy indicator's first step
}

}  // namespace
