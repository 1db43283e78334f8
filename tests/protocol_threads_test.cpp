// The interpreter on a reader thread against the timer and painting on a
// main thread, as in the program. The repaint hook paints like the window
// does: it takes display_mutex and renders. Were request_repaint() ever
// called with the lock held, the hook would lock it a second time on the
// same thread (a deadlock, and a report under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/shell_state.h"
#include "image/window_image.h"
#include "display/rasteriser.h"
#include "protocol/interpreter.h"

namespace {

thread_local bool on_reader_thread = false;
std::atomic<uint64_t> reader_paints{0};
std::atomic<uint64_t> timer_paints{0};

void paint_like_the_window() {
    std::vector<uint32_t> pixels;
    {
        std::lock_guard lock(display_mutex);
        lcd_render(*display);
        build_window_image(*display, scheme_colors(1), pixels);
    }
    if (on_reader_thread) {
        ++reader_paints;
    } else {
        ++timer_paints;
    }
}

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

class ProtocolThreads : public ::testing::Test {
protected:
    void SetUp() override {
        shell_state_reset();
        reader_paints = 0;
        timer_paints = 0;
        ASSERT_TRUE(shell_create_display());
        set_repaint_hook(paint_like_the_window);
    }
    void TearDown() override { shell_state_reset(); }
};

TEST_F(ProtocolThreads, ReaderAndTimerShareTheDisplay) {
    constexpr int rounds = 400;
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        on_reader_thread = true;
        for (int round = 0; round < rounds; ++round) {
            for (uint8_t b : round_bytes(round)) interpret_byte(b);
        }
        reading = false;
    });
    // The main thread's side: the 100 ms timer (run as fast as it can) and
    // the occasional paint of its own.
    uint64_t ticks = 0;
    while (reading) {
        shell_on_timer();
        if (++ticks % 16 == 0) {
            std::lock_guard lock(display_mutex);
            lcd_render(*display);
        }
        std::this_thread::yield();
    }
    reader.join();

    EXPECT_EQ(reader_paints.load(), rounds * repaints_per_round);
    EXPECT_EQ(repaint_count(), reader_paints.load() + timer_paints.load());
    EXPECT_LE(timer_paints.load(), static_cast<uint64_t>(rounds));
    // Row 2 holds the last round's text whatever the interleaving; the
    // interpreter ended idle with the cursor where device text left it.
    std::string row2;
    for (int column = 0; column < 20; ++column)
        row2 += static_cast<char>(display->ddram[0x40 + column]);
    EXPECT_EQ(row2.substr(0, 9), "round 399");
    EXPECT_EQ(host.cmd_state, ST_IDLE);
    EXPECT_EQ(display->ddram_cursor, 0x54);  // after the 20th character of row 2
}

}  // namespace
