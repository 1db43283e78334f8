// The protocol tests' view of one device: a display session started as the
// program starts it, and its 20 x 4 screen read back through the session's
// snapshot, by cell (1-based column and row) or by row as a string of codes,
// glyph codes 0..7 as \x0N. The interpreter's fields and the controller's
// registers are read as copies taken under the session's lock.
//
// Tests that call the composition routines themselves use RoutineTest, which
// also reaches the session state directly (the tests run on one thread).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "display/rasteriser.h"
#include "protocol/display_session.h"

// Where the rows of the screen start in display RAM.
inline constexpr const auto& screen_row_address = row_start_table;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()); }

    ScreenSnapshot screen() {
        std::optional<ScreenSnapshot> snapshot = session.snapshot();
        EXPECT_TRUE(snapshot.has_value()) << "the session has no controller";
        return snapshot.value_or(ScreenSnapshot{});
    }

    uint8_t cell(int column, int row) {
        return screen().cells[static_cast<size_t>(row - 1)][static_cast<size_t>(column - 1)];
    }

    std::string row_text(int row) {
        const auto cells = screen().cells[static_cast<size_t>(row - 1)];
        return std::string(cells.begin(), cells.end());
    }

    HostInterpreter host() {
        return session.with_state([](const SessionState& s) { return s.host; });
    }

    LcdController controller() {
        return session.with_state([](const SessionState& s) { return *s.display; });
    }

    DisplaySession session;
};

class RoutineTest : public SessionTest {
protected:
    SessionState& state = session.with_state([](SessionState& s) -> SessionState& { return s; });
    std::unique_ptr<LcdController>& display = state.display;
    CompositionState& composition = state.composition;
};

// Row 1 as start-up draws it: "RX15", twelve underlined blanks, "TX15".
inline const std::string idle_row = "RX15" + std::string(12, '\x02') + "TX15";
