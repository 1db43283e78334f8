// The test written from a recorded session of the demo device (its firmware
// driven here on a virtual clock, every 100 ms, as the programs drive it):
// keys by name, waits for the rows a key changed as they settled, nothing of
// the status line (its counters change by themselves), the key's answer
// first where the screen comes back by itself, and codes no name sends as
// raw bytes. Whether a written test passes against the device and fails
// against another is the Python module's test (tests/python/test_codegen.py).
#include "panel/test_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/demo_device.h"
#include "panel/demo_link.h"

namespace {

// A session with the demo device: keys at the given seconds, 100 ms ticks
// in between, the recording to `end` seconds.
struct Key {
    double t;
    uint8_t code;
};

std::string written_test(const std::vector<Key>& keys, double end) {
    DemoDevice device(demo_key_codes());
    TestWriter writer("session.jsonl", "the test");
    RecordingHeader header;
    header.target = "demo";
    writer.set_header(header);
    writer.add({0.0, RecordKind::link, {}, "linked"});
    writer.add({0.0, RecordKind::rx, device.start(), {}});
    size_t next = 0;
    for (int step = 1; step * 0.1 <= end + 1e-9; ++step) {
        const double t = step * 0.1;
        while (next < keys.size() && keys[next].t <= t - 0.05) {
            const Key& key = keys[next++];
            writer.add({key.t, RecordKind::tx, {key.code}, {}});
            const std::vector<uint8_t> answer = device.key(key.code);
            if (!answer.empty()) writer.add({key.t, RecordKind::rx, answer, {}});
        }
        const std::vector<uint8_t> bytes = device.advance(100);
        if (!bytes.empty()) writer.add({t, RecordKind::rx, bytes, {}});
        writer.add({t, RecordKind::tick, {}, {}});
    }
    return writer.finish();
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

constexpr uint8_t down = 0xE3;
constexpr uint8_t enter = 0xE9;

TEST(TestWriter, KeysAreFollowedByTheRowsTheyChanged) {
    const std::string test =
        written_test({{3.05, down}, {3.55, down}, {4.05, down}, {5.05, 'Q'}}, 6.5);
    // Before the first key: the menu, as the start-up drew it.
    EXPECT_NE(test.find("    panel.wait_for(re.compile(\"^> Name: QOR-7 *$\"), row=2, "
                        "timeout=5.0)\n"),
              std::string::npos)
        << test;
    // A second after the menu: in the test the key may come at once.
    EXPECT_NE(
        test.find("    panel.press(\"Down\")  # 3.0 s\n"
                  "    panel.wait_for(re.compile(\"^  Name: QOR-7 *$\"), row=2, timeout=3.0)\n"
                  "    panel.wait_for(re.compile(\"^> Calibrate *$\"), row=3, timeout=3.0)\n"),
        std::string::npos)
        << test;
    // The third Down scrolls the menu: every row below the status line.
    EXPECT_NE(test.find("    panel.press(\"Down\")  # 4.0 s\n"
                        "    panel.wait_for(re.compile(\"^  Calibrate *$\"), row=2)\n"
                        "    panel.wait_for(re.compile(\"^  Event log *$\"), row=3)\n"
                        "    panel.wait_for(re.compile(\"^> Display test *$\"), row=4)\n"),
              std::string::npos)
        << test;
    EXPECT_NE(test.find("    panel.press(\"Q\")  # 5.0 s\n"
                        "    # (no lasting change to wait for)\n"),
              std::string::npos)
        << test;
    // The status line's counters changed by themselves before the first key
    // and after it: the status line is never waited for.
    EXPECT_EQ(count(test, "row=1"), 0u) << test;
}

TEST(TestWriter, AScreenThatComesBackIsWaitedForThroughTheKeysAnswer) {
    // Calibration: a busy indicator and a bar by themselves, the result, and
    // two seconds later the menu again, as it was before the key.
    const std::string test = written_test({{3.05, down}, {4.05, enter}, {11.55, down}}, 12.5);
    const size_t enter_at = test.find("    panel.press(\"Enter\")  # 4.0 s\n");
    const size_t next_at = test.find("    panel.press(\"Down\")  # 11.6 s\n");
    ASSERT_NE(enter_at, std::string::npos) << test;
    ASSERT_NE(next_at, std::string::npos) << test;
    const std::string after_enter = test.substr(enter_at, next_at - enter_at);
    // The answer, then the menu back, given the time the calibration took.
    EXPECT_NE(after_enter.find("(\"^    Please wait ③ *$\"), row=3, timeout=2.5)"),
              std::string::npos)
        << after_enter;
    const size_t answer_at = after_enter.find("(\"^  ⑦ Calibrating ⑦ *$\"), row=2, timeout=2.5)");
    const size_t menu_at = after_enter.find("(\"^  Name: QOR-7 *$\"), row=2, timeout=13.0)");
    EXPECT_NE(answer_at, std::string::npos) << after_enter;
    EXPECT_NE(menu_at, std::string::npos) << after_enter;
    EXPECT_LT(answer_at, menu_at) << after_enter;
    EXPECT_EQ(count(test, "row=1"), 0u) << test;
}

TEST(TestWriter, CodesNoNameSendsGoRaw) {
    TestWriter writer("session.jsonl", "the test");
    writer.add({1.0, RecordKind::tx, {0xF6, 0xE9, 0xF6, 0xF7}, {}});
    writer.add({2.0, RecordKind::mark, {}, "a note"});
    writer.add({2.5, RecordKind::tx, {0x22}, {}});
    const std::string test = writer.finish();
    EXPECT_NE(test.find("    panel.send(b\"\\xf6\")\n"
                        "    panel.press(\"Enter\")\n"
                        "    panel.press(\"Ctrl+Shift\")  # 1.0 s\n"),
              std::string::npos)
        << test;
    EXPECT_NE(test.find("    # a note\n    panel.press(\"\\\"\")  # 2.5 s\n"), std::string::npos)
        << test;
}

}  // namespace
