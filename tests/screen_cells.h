// The protocol tests' view of one device: a display session started as the
// program starts it, its state reached directly (the tests run on one
// thread), and the 20 x 4 screen read back by cell (1-based column and row,
// at the addresses the 4-row geometry gives the rows) or by row as a string,
// glyph codes 0..7 as \x0N.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/display_session.h"

inline constexpr std::array<int, 4> screen_row_address = {0x00, 0x40, 0x14, 0x54};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()); }

    uint8_t cell(int column, int row) const {
        const auto address = (screen_row_address[static_cast<size_t>(row - 1)] + column - 1) & 0x7F;
        return display->ddram[static_cast<size_t>(address)];
    }

    std::string row_text(int row) const {
        std::string text;
        for (int column = 1; column <= 20; ++column) text += static_cast<char>(cell(column, row));
        return text;
    }

    DisplaySession session;
    SessionState& state = session.with_state([](SessionState& s) -> SessionState& { return s; });
    std::unique_ptr<LcdController>& display = state.display;
    HostInterpreter& host = state.host;
    CompositionState& composition = state.composition;
};

// Row 1 as start-up draws it: "RX15", twelve underlined blanks, "TX15".
inline const std::string idle_row = "RX15" + std::string(12, '\x02') + "TX15";
