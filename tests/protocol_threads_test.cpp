// The display session on a reader thread against the timer and painting on
// a main thread, as in the program, and two sessions side by side. The
// repaint callback paints like the window does: it renders through the
// session, which takes the session's lock. Were the callback ever called
// with the lock held, the render would lock it a second time on the same
// thread (a deadlock, and a report under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "image/window_image.h"
#include "protocol/display_session.h"

namespace {

// One round of device traffic: a row of text, the two numbers, the meter,
// a flash text and the mode field. Six commands that request a repaint.
std::vector<uint8_t> round_bytes(int round) {
    std::vector<uint8_t> bytes = {0x8C, 0x02};
    const std::string text = "round " + std::to_string(round);
    for (size_t i = 0; i < 20; ++i) bytes.push_back(i < text.size() ? text[i] : '.');
    const auto n = static_cast<uint8_t>(round % 100);
    for (uint8_t b :
         {uint8_t{0x94}, n, uint8_t{0x95}, n, uint8_t{0x93}, static_cast<uint8_t>(round % 12),
          uint8_t{0xA1}, uint8_t{'B'}, uint8_t{'U'}, uint8_t{'S'}, uint8_t{'Y'}}) {
        bytes.push_back(b);
    }
    bytes.push_back(0x96);
    bytes.push_back(static_cast<uint8_t>(round & 0x5E));
    return bytes;
}

constexpr uint64_t repaints_per_round = 6;

// A session whose repaints paint like the window, counted by the thread
// that asked for them.
class PaintedSession {
public:
    PaintedSession() : session_([this] { paint(); }) {}

    DisplaySession& session() { return session_; }
    std::atomic<uint64_t> reader_paints{0};
    std::atomic<uint64_t> timer_paints{0};
    std::thread::id reader;

    // Feeds `rounds` rounds of traffic on the calling thread, byte by byte
    // or each round as one batch.
    void feed_rounds(int rounds, bool batched = false) {
        reader = std::this_thread::get_id();
        for (int round = 0; round < rounds; ++round) {
            const std::vector<uint8_t> bytes = round_bytes(round);
            if (batched) {
                session_.interpret_bytes(bytes);
            } else {
                for (uint8_t b : bytes) session_.interpret_byte(b);
            }
        }
    }

    // The text of row 2, the session's row-text target.
    std::string row2() {
        const std::optional<ScreenSnapshot> screen = session_.snapshot();
        if (!screen) return "(no controller)";
        return std::string(screen->cells[1].begin(), screen->cells[1].end());
    }

private:
    void paint() {
        std::vector<uint32_t> pixels;
        session_.render(
            [&](const LcdController& c) { build_window_image(c, scheme_colors(1), pixels); });
        if (std::this_thread::get_id() == reader) {
            ++reader_paints;
        } else {
            ++timer_paints;
        }
    }

    DisplaySession session_;
};

TEST(ProtocolThreads, ReaderAndTimerShareTheDisplay) {
    constexpr int rounds = 400;
    PaintedSession painted;
    DisplaySession& session = painted.session();
    ASSERT_TRUE(session.start());
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        painted.feed_rounds(rounds);
        reading = false;
    });
    // The main thread's side: the 100 ms timer (run as fast as it can) and
    // the occasional paint of its own.
    uint64_t ticks = 0;
    while (reading) {
        session.on_timer();
        if (++ticks % 16 == 0) session.render([](const LcdController&) {});
        std::this_thread::yield();
    }
    reader.join();

    EXPECT_EQ(painted.reader_paints.load(), rounds * repaints_per_round);
    EXPECT_EQ(session.repaint_count(), painted.reader_paints.load() + painted.timer_paints.load());
    EXPECT_LE(painted.timer_paints.load(), static_cast<uint64_t>(rounds));
    // Row 2 holds the last round's text whatever the interleaving; the
    // interpreter ended idle with the cursor where device text left it.
    EXPECT_EQ(painted.row2().substr(0, 9), "round 399");
    session.with_state([](SessionState& s) { EXPECT_EQ(s.host.cmd_state, ST_IDLE); });
    EXPECT_EQ(session.snapshot().value().cursor.address,
              0x54);  // after the 20th character of row 2
}

// Two devices in one process: each session keeps its own screen, interpreter
// position, repaints and blink clock while both are fed at once.
TEST(ProtocolThreads, TwoSessionsShareNothing) {
    PaintedSession first;
    PaintedSession second;
    ASSERT_TRUE(first.session().start());
    ASSERT_TRUE(second.session().start());
    // The second is left inside a command: its next bytes are arguments.
    second.session().interpret_bytes(std::vector<uint8_t>{0x8C, 0x03, 'Z'});
    std::thread a([&] { first.feed_rounds(300); });
    std::thread b([&] { second.feed_rounds(100, true); });
    for (int tick = 0; tick < 20; ++tick) first.session().on_timer();
    a.join();
    b.join();

    EXPECT_EQ(first.row2().substr(0, 9), "round 299");
    EXPECT_EQ(second.row2().substr(0, 8), "round 99");
    EXPECT_EQ(first.reader_paints.load(), 300 * repaints_per_round);
    // The second took each round as one batch: one repaint a round.
    EXPECT_EQ(second.reader_paints.load(), 100u);
    EXPECT_EQ(second.session().repaint_count(), second.reader_paints.load());
    EXPECT_EQ(second.session().snapshot().value().cells[2][0], 'Z');  // row 3, column 1
    second.session().with_state([](SessionState& s) { EXPECT_EQ(s.blink.counter, 0); });
    first.session().with_state([](SessionState& s) { EXPECT_EQ(s.blink.counter, 5); });
}

}  // namespace
