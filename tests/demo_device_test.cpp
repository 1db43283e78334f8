// The demonstration unit driven through a real display session, as the
// program would show it: its screens read back as rows of cells after keys
// and time, and its stream checked as a whole (every command byte used,
// none left half sent, the same bytes for the same script).
#include "demo/demo_device.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panel/demo_link.h"
#include "tests/screen_cells.h"

namespace {

constexpr uint8_t escape = 0x1B, f1 = 0xB0, f12 = 0xBB, insert = 0xDD, up = 0xE2, down = 0xE3,
                  enter = 0xE9, backspace = 0xED;

std::string padded(std::string_view text) {
    return std::string(text) + std::string(20 - text.size(), ' ');
}

class DemoScreens : public SessionTest {
protected:
    // Feeds one chunk of the unit's bytes, noting each command the
    // interpreter starts; a chunk must never end inside a command.
    void feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) {
            if (host().cmd_state == ST_IDLE && b >= 0x85 && b <= 0xA6) started.insert(b);
            session.interpret_byte(b);
        }
        EXPECT_EQ(host().cmd_state, ST_IDLE) << "a chunk ends inside a command";
    }
    void power_up() {
        feed(device.start());
        feed(device.advance(2000));
    }
    void press(uint8_t code) { feed(device.key(code)); }
    void type(std::string_view text) {
        for (char c : text) press(static_cast<uint8_t>(c));
    }
    void wait(uint32_t ms) { feed(device.advance(ms)); }
    // Columns 17..20 of row 1: "TX" and the right number, or an override.
    std::string right_field() { return row_text(1).substr(16, 4); }
    size_t cursor_column_on_row_3() {
        const ScreenCursor cursor = screen().cursor;
        EXPECT_EQ(cursor.row, 3);
        return static_cast<size_t>(cursor.column);
    }

    DemoDevice device{demo_key_codes(), 7};
    std::set<uint8_t> started;
};

TEST_F(DemoScreens, StartUpScreenThenMainScreenWithTheMenu) {
    feed(device.start());
    EXPECT_EQ(row_text(2), padded("  Qor demo device"));
    EXPECT_EQ(row_text(3), padded("    firmware 1.0"));
    wait(1000);
    EXPECT_EQ(row_text(4), padded("    starting ..."));
    wait(1000);
    const std::string status = row_text(1);
    EXPECT_EQ(status.substr(0, 2), "RX");
    EXPECT_EQ(status.substr(16, 2), "TX");
    for (size_t digit : {2u, 3u, 18u, 19u})
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(status[digit]))) << status;
    EXPECT_EQ(status[10], '\x02');
    EXPECT_EQ(row_text(2), padded("> Name: QOR-7"));
    EXPECT_EQ(row_text(3), padded("  Calibrate"));
    EXPECT_EQ(row_text(4), padded("  Event log"));
}

// A power-up finds the display as an earlier session left it: in the middle
// of an override command, with an override on. It still draws the status
// line a first power-up draws.
TEST_F(DemoScreens, PowerUpBringsTheDisplayBackInStep) {
    power_up();
    const std::string fresh = row_text(1);
    session.interpret_bytes(std::vector<uint8_t>{0xA6, 0x01, 'C', 'A', 'L', 0xA6, 0x02, 'X'});
    DemoDevice next{demo_key_codes(), 7};
    for (uint8_t b : next.start()) session.interpret_byte(b);
    for (uint8_t b : next.advance(2000)) session.interpret_byte(b);
    EXPECT_EQ(host().cmd_state, ST_IDLE);
    EXPECT_EQ(row_text(1), fresh);
}

TEST_F(DemoScreens, MenuPointerMovesAndScrollsUnderTheStatusLine) {
    power_up();
    const std::string status = row_text(1);
    for (int i = 0; i < 5; ++i) press(down);  // the fifth is refused at the last item
    EXPECT_EQ(row_text(1), status);
    EXPECT_EQ(row_text(2), padded("  Event log"));
    EXPECT_EQ(row_text(3), padded("  Display test"));
    EXPECT_EQ(row_text(4), padded("> About"));
    for (int i = 0; i < 3; ++i) press(up);
    EXPECT_EQ(row_text(2), padded("> Calibrate"));
    EXPECT_EQ(row_text(3), padded("  Event log"));
    EXPECT_EQ(row_text(4), padded("  Display test"));
    press(up);
    press(up);  // refused at the first item
    EXPECT_EQ(row_text(2), padded("> Name: QOR-7"));
    EXPECT_EQ(row_text(4), padded("  Event log"));
    EXPECT_EQ(row_text(1), status);
}

TEST_F(DemoScreens, NameEntryEchoesKeysAtTheCursorAndBackspaceErases) {
    power_up();
    press(enter);
    EXPECT_EQ(row_text(2), padded(" Enter a unit name"));
    EXPECT_EQ(row_text(3), padded("Name: QOR-7"));
    EXPECT_EQ(row_text(4), "Enter=save  Esc=undo");
    EXPECT_EQ(cursor_column_on_row_3(), 12u);
    EXPECT_NE(screen().cursor.style, ScreenCursor::Style::none) << "the cursor is visible";
    type("X1\\");
    EXPECT_EQ(row_text(3), padded("Name: QOR-7X1\x03"));
    press(backspace);
    press(backspace);
    EXPECT_EQ(row_text(3), padded("Name: QOR-7X"));
    wait(1000);  // status refreshes leave the cursor where it was
    EXPECT_EQ(cursor_column_on_row_3(), 13u);
    type("ABCDEFGHIJ");  // only twelve characters fit
    EXPECT_EQ(row_text(3), padded("Name: QOR-7XABCDEF"));
    EXPECT_EQ(cursor_column_on_row_3(), 19u);
    const uint8_t cursor_bits = controller().display_control & 0x03;
    wait(4500);  // the redraws of a unit left alone keep the draft and the cursor
    EXPECT_EQ(row_text(3), padded("Name: QOR-7XABCDEF"));
    EXPECT_EQ(cursor_column_on_row_3(), 19u);
    EXPECT_EQ(controller().display_control & 0x03, cursor_bits);
    press(enter);
    EXPECT_EQ(row_text(2), padded("> Name: QOR-7XABCDEF"));
    EXPECT_EQ(screen().cursor.style, ScreenCursor::Style::none) << "the menu hides the cursor";
    press(enter);
    for (int i = 0; i < 12; ++i) press(backspace);
    type("PUMP");
    press(escape);  // Escape keeps the saved name
    EXPECT_EQ(row_text(2), padded("> Name: QOR-7XABCDEF"));
}

TEST_F(DemoScreens, FlashTextOnF1ReturnsToTheModeFieldAfterTenTimerTicks) {
    power_up();
    wait(1500);  // the next mode is due during the flash, and must wait for it
    const std::string field = row_text(1).substr(11, 4);
    press(f1);
    EXPECT_EQ(row_text(1).substr(11, 4), "MENU");
    for (int tick = 1; tick <= 10; ++tick) {
        EXPECT_EQ(row_text(1).substr(11, 4), "MENU") << "tick " << tick;
        wait(100);
        session.on_timer();
    }
    EXPECT_EQ(row_text(1).substr(11, 4), field);
}

TEST_F(DemoScreens, SelfTestOnF12UntilAKey) {
    power_up();
    press(f1);  // a flash text pending must not come back over the test
    press(f12);
    for (int tick = 0; tick < 10; ++tick) session.on_timer();
    const std::array<std::string, 4> test_screen = {
        "1" + std::string(18, ' ') + "2", padded("    Display Test"), padded("      1 2 3 4"),
        "3" + std::string(18, ' ') + "4"};
    for (int row = 1; row <= 4; ++row) EXPECT_EQ(row_text(row), test_screen[row - 1]);
    wait(3000);
    EXPECT_EQ(row_text(2), test_screen[1]);
    press('A');
    EXPECT_EQ(row_text(1).substr(0, 2), "RX");
    EXPECT_EQ(row_text(2), padded("> Name: QOR-7"));
}

TEST_F(DemoScreens, CalibrationRunsTheBusyIndicatorAndRestoresTheNumber) {
    power_up();
    press(down);
    press(enter);
    EXPECT_EQ(row_text(2), padded("  \x07 Calibrating \x07"));
    EXPECT_EQ(right_field(), std::string("CAL\0", 4));
    EXPECT_EQ(cell(17, 3), 0x03);
    wait(200);
    EXPECT_EQ(cell(17, 3), '|');
    EXPECT_EQ(row_text(4), padded("\x01"));
    wait(3800);
    EXPECT_EQ(row_text(2), padded("  Calibration done"));
    EXPECT_EQ(row_text(4), std::string(20, '\x01'));
    EXPECT_EQ(right_field().substr(0, 2), "TX");
    wait(2000);
    EXPECT_EQ(row_text(3), padded("> Calibrate"));

    press(enter);  // a self-test in the middle also gives the number back
    press(f12);
    press(enter);
    EXPECT_EQ(right_field().substr(0, 2), "TX");
}

TEST_F(DemoScreens, EventLogFollowsNewEventsAndScrollsBack) {
    power_up();
    press(down);
    press(down);
    press(enter);
    EXPECT_EQ(row_text(1), padded("00:00 Power on"));
    EXPECT_EQ(row_text(2), padded(""));
    wait(10000);  // events at 3, 6, 9 and 12 s: the fourth scrolls the log
    EXPECT_EQ(row_text(1).substr(0, 6), "00:03 ");
    EXPECT_EQ(row_text(4).substr(0, 6), "00:12 ");
    press(up);
    EXPECT_EQ(row_text(1), padded("00:00 Power on"));
    EXPECT_EQ(row_text(4).substr(0, 6), "00:09 ");
    press(escape);
    EXPECT_EQ(row_text(1).substr(0, 2), "RX");
    EXPECT_EQ(row_text(4), padded("> Event log"));
}

TEST_F(DemoScreens, MainScreenChangesByItselfWithinEveryTwoSeconds) {
    power_up();
    const std::string menu = row_text(2) + row_text(3) + row_text(4);
    std::set<std::string> meters, modes;
    for (int round = 0; round < 15; ++round) {
        const auto before = screen().cells;
        wait(2000);
        EXPECT_NE(screen().cells, before) << "still after " << 2 * (round + 1) << " s";
        meters.insert(row_text(1).substr(5, 5));
        modes.insert(row_text(1).substr(11, 5));
    }
    EXPECT_EQ(row_text(2) + row_text(3) + row_text(4), menu);
    EXPECT_GE(meters.size(), 3u);
    EXPECT_GE(modes.size(), 5u);
}

// What a session shows: the four rows, the custom characters they show, the cursor's
// address and the display-control bits (cursor shown, blinking). The busy
// indicator's cell is left out: its place in the cycle is the display's own,
// and no command sets it.
std::string screen_of(DisplaySession& display_session, bool busy_shown) {
    return display_session.with_state([&](SessionState& s) {
        std::string screen;
        for (int address : screen_row_address) {
            for (int column = 0; column < 20; ++column) {
                screen +=
                    static_cast<char>(s.display->ddram[static_cast<size_t>(address + column)]);
            }
        }
        if (busy_shown) screen[2 * 20 + 16] = '*';  // row 3, column 17
        for (uint8_t code = 0; code < 8; ++code) {
            if (screen.find(static_cast<char>(code)) == std::string::npos) continue;
            const auto pattern = s.display->cgram.begin() + 8 * code;
            screen.append(pattern, pattern + 8);
        }
        return screen + "|" + std::to_string(s.display->ddram_cursor) + "|" +
               std::to_string(s.display->display_control);
    });
}

// A program that links while the unit is left alone drops what arrives in
// its first 400 ms, so it misses the screen as the unit drew it. Whenever it
// links, 3 s later it shows what a program that saw everything shows: on
// every screen, with the name entry's draft and cursor, while the
// calibration runs and when it is done. The unit's bytes leave at the
// line's pace, so the settle may end in the middle of a command.
TEST_F(DemoScreens, ALateLinkShowsTheWholeScreenWithinThreeSeconds) {
    constexpr uint32_t step_ms = 50, settle_ms = 400, within_ms = 3000, alone_ms = 9000;
    struct Chunk {
        uint32_t at_ms;
        std::vector<uint8_t> bytes;
    };
    const std::vector<std::vector<uint8_t>> screens = {
        {},    {enter, 'X'}, {down, enter}, {down, down, enter}, {down, down, down, down, enter},
        {f12},
    };
    for (const std::vector<uint8_t>& keys : screens) {
        const bool calibration = keys == std::vector<uint8_t>{down, enter};
        DemoDevice unit{demo_key_codes(), 7};
        std::vector<Chunk> sent = {{0, unit.start()}, {2000, unit.advance(2000)}};
        for (uint8_t code : keys) sent.push_back({2000, unit.key(code)});
        for (uint32_t at = 2000 + step_ms; at <= 2000 + alone_ms; at += step_ms) {
            sent.push_back({at, unit.advance(step_ms)});
        }
        for (uint32_t link = 2000; link + within_ms <= 2000 + alone_ms; link += 130) {
            DisplaySession everything, late;
            ASSERT_TRUE(everything.start() && late.start());
            for (const Chunk& chunk : sent) {
                if (chunk.at_ms > link + within_ms) break;
                everything.interpret_bytes(chunk.bytes);
                // Byte i is on the line from at_ms + i / 1.92 ms (19200 baud).
                size_t from = 0;
                while (from < chunk.bytes.size() &&
                       chunk.at_ms * 1920 + from * 1000 <= (link + settle_ms) * 1920) {
                    ++from;
                }
                late.interpret_bytes(std::span(chunk.bytes).subspan(from));
            }
            // The busy indicator runs for the calibration's first four seconds.
            const bool busy = calibration && link + within_ms < 6000;
            EXPECT_EQ(screen_of(late, busy), screen_of(everything, busy))
                << "keys " << ::testing::PrintToString(keys) << ", linked at " << link << " ms";
        }
    }
}

// A tour of every screen, as a list of keys and delays.
struct Step {
    bool is_key;
    uint32_t value;  // key code, or milliseconds
};
const std::vector<Step> tour = {
    {true, f1},     {false, 1000}, {true, down},   {true, down},  {true, down},  // menu
    {true, down},   {true, up},    {true, up},     {true, up},    {true, up},
    {true, up},     {true, enter}, {true, 'A'},    {true, 'B'},   {true, backspace},  // name
    {true, insert}, {true, enter}, {true, down},   {true, enter}, {false, 6500},      // calibration
    {true, down},   {true, enter}, {false, 12000}, {true, up},    {true, down},       // event log
    {true, escape}, {true, down},  {true, down},   {true, enter}, {true, escape},     // about
    {true, f12},    {false, 1500}, {true, enter},                                     // self-test
};

TEST_F(DemoScreens, TourStartsEveryCommandAndNeverLeavesOneHalfSent) {
    auto run = [](DemoDevice& unit, auto&& take) {
        take(unit.start());
        take(unit.advance(2000));
        for (const Step& step : tour) {
            take(step.is_key ? unit.key(static_cast<uint8_t>(step.value))
                             : unit.advance(step.value));
        }
    };
    std::vector<uint8_t> first, second;
    run(device, [&](const std::vector<uint8_t>& bytes) {
        feed(bytes);
        first.insert(first.end(), bytes.begin(), bytes.end());
    });
    for (int command = 0x85; command <= 0xA6; ++command) {
        EXPECT_TRUE(started.count(static_cast<uint8_t>(command)))
            << "command 0x" << std::hex << command << " never sent";
    }
    DemoDevice same_seed{demo_key_codes(), 7};
    run(same_seed, [&](const std::vector<uint8_t>& bytes) {
        second.insert(second.end(), bytes.begin(), bytes.end());
    });
    EXPECT_EQ(first, second) << "the same script gives the same stream";
}

}  // namespace
