// The web page's panel: its keys against the codes the programs send, its
// line through the page's port under the link policy, and its picture in
// canvas pixel order.
#include "web/web_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "demo/display_commands.h"
#include "image/window_image.h"
#include "link/link_policy.h"

namespace {

using namespace std::chrono_literals;

struct KeyCase {
    const char* code;
    const char* key;
    PageModifiers mods;
    uint8_t expected;  // the code sent on the press
};

// The codes the Windows program sends for the same keys.
TEST(WebPanelKeys, PressesSendTheProgramsCodes) {
    const KeyCase cases[] = {
        {"KeyA", "a", {}, 'A'},
        {"KeyA", "A", {true, false, false}, 'A'},
        {"KeyA", "a", {false, true, false}, 0x01},
        {"Digit1", "1", {}, '1'},
        {"Digit1", "!", {true, false, false}, '!'},
        {"Digit2", "2", {false, true, false}, 0xA1},
        {"ArrowUp", "ArrowUp", {}, 0xE2},
        {"ArrowDown", "ArrowDown", {}, 0xE3},
        {"ArrowLeft", "ArrowLeft", {true, false, false}, 0xDA},
        {"ArrowRight", "ArrowRight", {false, true, false}, 0xF3},
        {"Enter", "Enter", {}, 0xE9},
        {"NumpadEnter", "Enter", {}, 0xE9},
        {"Backspace", "Backspace", {}, 0xED},
        {"Tab", "Tab", {}, 0xEE},
        {"Escape", "Escape", {}, 0x1B},
        {"F1", "F1", {}, 0xB0},
        {"F12", "F12", {true, false, false}, 0xD3},
        {"F10", "F10", {}, 0xB9},
        {"F10", "F10", {true, false, false}, 0xD1},
        {"Semicolon", ";", {}, ';'},
        {"Quote", "\"", {true, false, false}, '"'},
        {"Numpad5", "5", {}, 'E'},         // keypad codes fold to capitals
        {"Numpad8", "ArrowUp", {}, 0xE2},  // Num Lock off: the arrow
        {"NumpadDecimal", "Delete", {}, 0xE6},
        {"KeyX", "x", {false, false, true}, 0},  // Alt: a system key, no code
    };
    for (const KeyCase& c : cases) {
        WebPanel page;
        ASSERT_EQ(page.open("demo"), LinkResult::ok);
        bool known = false;
        EXPECT_EQ(page.key(c.code, c.key, c.mods, true, known), c.expected) << c.code;
        EXPECT_TRUE(known) << c.code;
    }
}

TEST(WebPanelKeys, ChordAndUnknownKeys) {
    WebPanel page;
    ASSERT_EQ(page.open("demo"), LinkResult::ok);
    bool known = false;
    EXPECT_EQ(page.key("ControlLeft", "Control", {false, true, false}, true, known), 0);
    EXPECT_EQ(page.key("ShiftLeft", "Shift", {true, true, false}, true, known), 0xF6);
    EXPECT_EQ(page.key("ShiftLeft", "Shift", {false, true, false}, false, known), 0xF7);
    EXPECT_EQ(page.key("ContextMenu", "ContextMenu", {}, true, known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(page.key("Digit", "", {}, true, known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(page.key("F25", "F25", {}, true, known), 0);
    EXPECT_FALSE(known);
}

// Device bytes that put `text` on row 2 (row 1 is the status line).
std::vector<uint8_t> row_two(std::string_view text) {
    std::vector<uint8_t> bytes;
    DisplayCommands(bytes).row_text(2, text);
    return bytes;
}

void push(WebPanel& page, const std::vector<uint8_t>& bytes, LinkClock::time_point now) {
    std::copy(bytes.begin(), bytes.end(), page.input().begin());
    page.received(bytes.size(), now);
}

std::string second_row(WebPanel& page) {
    return page.panel().screen()->text[1].substr(0, 5);
}

// The page's line keeps the programs' policy: bytes that arrive while it
// settles are dropped, a line that goes makes the link lost, each retry asks
// the page to reopen it, and a line that is back links again and settles.
TEST(WebPanelLine, SettlesLosesAndRelinks) {
    WebPanel page;
    EXPECT_EQ(page.open("serial"), LinkResult::not_found);
    EXPECT_EQ(page.link_text(), "not linked");
    int reopen_asks = 0;
    page.port().set_reopen_hook([&reopen_asks] { ++reopen_asks; });

    page.port().opened();
    ASSERT_EQ(page.open("ws://127.0.0.1:5900"), LinkResult::ok);
    EXPECT_EQ(page.link_text(), "linked to ws://127.0.0.1:5900");
    const auto start = LinkClock::now();
    push(page, row_two("EARLY"), start);
    EXPECT_EQ(second_row(page), "     ");
    push(page, row_two("LATER"), start + link_policy::settle + 10ms);
    EXPECT_EQ(second_row(page), "LATER");

    bool known = false;
    EXPECT_EQ(page.key("ArrowUp", "ArrowUp", {}, true, known), 0xE2);
    EXPECT_EQ(page.take_output(), std::vector<uint8_t>{0xE2});
    EXPECT_TRUE(page.take_output().empty());

    page.port().gone();
    page.service(start + 1s);
    EXPECT_EQ(page.link_state(), LinkState::lost);
    EXPECT_EQ(page.link_text(), "link lost: ws://127.0.0.1:5900");
    EXPECT_EQ(page.key("ArrowUp", "ArrowUp", {}, true, known), 0);
    page.service(start + 1s + link_policy::retry);
    EXPECT_EQ(reopen_asks, 1);
    EXPECT_EQ(page.link_state(), LinkState::lost);

    // Back before the link looked again: the old line still counts as gone.
    page.port().opened();
    const auto relinked = start + 2s + link_policy::retry;
    page.service(relinked);
    EXPECT_EQ(page.link_state(), LinkState::linked);
    push(page, row_two("AGAIN"), relinked);
    EXPECT_EQ(second_row(page), "LATER");
    push(page, row_two("AGAIN"), relinked + link_policy::settle + 10ms);
    EXPECT_EQ(second_row(page), "AGAIN");
}

TEST(WebPanelLine, GoneAndBackBetweenTwoLooksIsALoss) {
    WebPanel page;
    page.port().opened();
    ASSERT_EQ(page.open("serial"), LinkResult::ok);
    page.port().gone();
    page.port().opened();
    page.service();
    EXPECT_EQ(page.link_state(), LinkState::lost);
}

// Key codes beyond what the page's output holds wait in the key queue and
// are dropped after the key write limit; the output never grows past it.
TEST(WebPanelLine, OutputIsBounded) {
    WebPanel page;
    page.port().opened();
    ASSERT_EQ(page.open("serial"), LinkResult::ok);
    bool known = false;
    for (size_t k = 0; k < PagePort::output_limit + 10; ++k) page.key("KeyB", "b", {}, true, known);
    EXPECT_EQ(page.take_output().size(), PagePort::output_limit);
    page.service(LinkClock::now() + link_policy::key_write_limit + 10ms);
    EXPECT_TRUE(page.take_output().empty());
}

TEST(WebPanelLine, OtherTargetsAreRefused) {
    WebPanel page;
    EXPECT_EQ(page.open("/dev/ttyUSB0"), LinkResult::bad_target);
    EXPECT_EQ(page.open("COM3"), LinkResult::bad_target);
    EXPECT_EQ(page.open("http://host"), LinkResult::bad_target);
    EXPECT_EQ(page.link_state(), LinkState::closed);
}

// A count beyond the staging buffer takes the buffer only.
TEST(WebPanelLine, ReceivedCountIsClamped) {
    WebPanel page;
    page.port().opened();
    ASSERT_EQ(page.open("serial"), LinkResult::ok);
    const std::vector<uint8_t> bytes = row_two("CLAMP");
    std::copy(bytes.begin(), bytes.end(), page.input().begin());
    page.received(page.input().size() * 4, LinkClock::now() + link_policy::settle + 10ms);
    EXPECT_EQ(second_row(page), "CLAMP");
}

// The picture is the programs' window image at the preset's size, red,
// green, blue and opaque alpha in that order.
TEST(WebPanelPicture, MatchesTheWindowImageInCanvasOrder) {
    WebPanel page;
    ASSERT_EQ(page.open("demo"), LinkResult::ok);
    for (const int32_t scheme : {0, 1}) {
        for (const uint8_t size : {uint8_t{1}, uint8_t{4}}) {
            page.set_scheme(scheme);
            page.set_size(size);
            EXPECT_TRUE(page.repaint_wanted());
            const std::vector<uint8_t> picture = page.paint();
            EXPECT_FALSE(page.repaint_wanted());
            const SizePreset* preset = size_preset_info(size);
            ASSERT_EQ(page.width(), preset->image_cx);
            ASSERT_EQ(page.height(), preset->image_cy);

            std::vector<uint32_t> image;
            page.panel().session().render([&](const LcdController& c) {
                build_window_image(c, scheme_colors(scheme), image);
            });
            const std::vector<uint32_t> expected =
                scale_image(image, image_width, image_height, preset->image_cx, preset->image_cy);
            ASSERT_EQ(picture.size(), expected.size() * 4);
            size_t differing = 0;
            for (size_t k = 0; k < expected.size(); ++k) {
                const uint8_t rgba[4] = {static_cast<uint8_t>(expected[k] >> 16),
                                         static_cast<uint8_t>(expected[k] >> 8),
                                         static_cast<uint8_t>(expected[k]), 0xFF};
                if (std::memcmp(rgba, &picture[k * 4], 4) != 0) ++differing;
            }
            EXPECT_EQ(differing, 0u) << "scheme " << scheme << " size " << int(size);
        }
    }
    page.set_size(uint8_t{9});
    EXPECT_EQ(page.width(), size_preset_info(4)->image_cx);
}

}  // namespace
