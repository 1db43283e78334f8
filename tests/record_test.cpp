// The recording library: the decoder splits every stream exactly as the
// interpreter does; a session recorded through the panel's tap replays to
// the same screen; a damaged file is read up to its last whole event; the
// flight recorder stays within its span and its memory budget however fast
// the line runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "panel/remote_panel.h"
#include "protocol/display_session.h"
#include "record/decoder.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "panel/session_recorder.h"

namespace {

RecordingSource text_source(const std::string& text, size_t piece = 7) {
    auto at = std::make_shared<size_t>(0);
    return [text, at, piece](char* data, size_t size) -> std::ptrdiff_t {
        const size_t n = std::min({size, piece, text.size() - *at});
        text.copy(data, n, *at);
        *at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

std::vector<RecordEvent> read_all(const std::string& text, std::string& problem) {
    RecordingReader reader(text_source(text));
    std::vector<RecordEvent> events;
    if (!reader.read_header()) {
        problem = reader.problem();
        return events;
    }
    RecordEvent event;
    while (reader.next(event)) events.push_back(event);
    problem = reader.problem();
    return events;
}

// Streams rich in command bytes, zeros and characters the filter skips.
std::vector<uint8_t> random_stream(std::mt19937& random, size_t length) {
    std::vector<uint8_t> stream(length);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<int> command(0x85, 0xA6);
    for (uint8_t& b : stream) {
        const int p = pick(random);
        b = static_cast<uint8_t>(p < 3 ? command(random) : p < 5 ? 0 : any(random));
    }
    return stream;
}

}  // namespace

TEST(CommandDecoder, SplitsStreamsWhereTheInterpreterEndsItsCommands) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const std::vector<uint8_t> stream = random_stream(random, 600);
        // Where the interpreter is idle again after a byte: the end of a
        // command or an ignored byte.
        DisplaySession session;
        ASSERT_TRUE(session.start());
        std::vector<bool> idle_after;
        for (const uint8_t b : stream) {
            session.interpret_byte(b);
            idle_after.push_back(
                session.with_state([](SessionState& s) { return s.host.cmd_state == ST_IDLE; }));
        }
        std::vector<DecodedCommand> commands;
        CommandDecoder decoder([&](const DecodedCommand& c) { commands.push_back(c); });
        for (size_t i = 0; i < stream.size(); i += 37) {
            decoder.feed(std::span(stream).subspan(i, std::min<size_t>(37, stream.size() - i)));
        }
        decoder.finish();

        uint64_t offset = 0;
        for (const DecodedCommand& c : commands) {
            ASSERT_EQ(c.offset, offset);
            ASSERT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), stream.begin() + offset));
            const size_t last = offset + c.bytes.size() - 1;
            if (c.info == nullptr) {
                for (size_t k = offset; k <= last; ++k) ASSERT_TRUE(idle_after[k]) << k;
            } else {
                for (size_t k = offset; k < last; ++k) ASSERT_FALSE(idle_after[k]) << k;
                ASSERT_EQ(idle_after[last], !c.cut_off) << "round " << round << " at " << last;
            }
            offset += c.bytes.size();
        }
        ASSERT_EQ(offset, stream.size());
    }
}

TEST(CommandDecoder, SaysWhatTheDisplayDoesWithValuesOutOfRange) {
    std::vector<DecodedCommand> commands;
    CommandDecoder decoder([&](const DecodedCommand& c) { commands.push_back(c); });
    const std::vector<uint8_t> stream = {
        0x97, 0x00, 0x03,              // column 0 of row 3: row 1 column 20
        0x97, 0x00, 0x01,              // column 0 of row 1: no cell
        0xA4, 0x15, 0x02,              // busy at column 21 of row 2: row 4 column 1
        0x94, 0x7B,                    // left 123
        0x98, 0x04,                    // style 4
        0xA6, 0x00, 0x41, 0x42, 0x43,  // selector 0: right
        0x8D, 0x41, 0x7F, 0x00,        // a skipped character
        0x12, 0x8C, 0x02};             // an ignored byte, then a command cut off
    decoder.feed(stream, 1.5);
    decoder.finish();
    ASSERT_EQ(commands.size(), 9u);
    const auto warning = [&](size_t i) {
        return commands[i].warnings.empty() ? std::string() : commands[i].warnings.front();
    };
    EXPECT_EQ(warning(0), "column 0 is not 1..20: the cursor goes to row 1 column 20");
    EXPECT_EQ(warning(1),
              "column 0 is not 1..20: the cursor goes to address 0x7F, which no cell shows");
    EXPECT_EQ(warning(2), "column 21 is not 1..20: the busy indicator is drawn at row 4 column 1");
    EXPECT_EQ(warning(3),
              "number 123 is above 99: a third digit is written into row 1 column 5, the arrow "
              "cell");
    EXPECT_FALSE(commands[4].warnings.empty());
    EXPECT_TRUE(commands[4].repaint);
    EXPECT_EQ(warning(5), "selector 0 is neither 1 nor 2: it sets the right override");
    EXPECT_EQ(warning(6), "character 0x7F at offset 20 is skipped: nothing is written");
    EXPECT_EQ(commands[7].info, nullptr);
    EXPECT_EQ(commands[7].offset, 22u);
    EXPECT_TRUE(commands[8].cut_off);
    EXPECT_FALSE(commands[8].repaint);
    EXPECT_EQ(decoded_json(commands[8]),
              R"({"offset":23,"t":1.5,"bytes":"8c02","command":"0x8C","name":"row text",)"
              R"("args":{"row":2,"text":""},"repaint":false,"warnings":["cut off by the end )"
              R"(of the stream: 1 of its 21 argument bytes came"]})");
}

TEST(Recording, ASessionRecordedThroughThePanelReplaysToTheSameScreen) {
    SessionRecorder recorder("test", true);
    RemotePanel panel;
    panel.set_tap(recorder.tap());
    ASSERT_TRUE(panel.start());
    const std::string path = testing::TempDir() + "session.jsonl";
    std::string error;
    ASSERT_TRUE(recorder.record_to(path, "demo", error)) << error;
    ASSERT_EQ(panel.open("demo"), LinkResult::ok);
    // The demo's start-up screen, a flash text that a tick ends, a blinking
    // cursor whose phase the ticks set, keys and their answers.
    const std::vector<uint8_t> flash = {0xA0, 0x42, 0xA1, 0x47, 0x4F, 0x20, 0x21, 0x98, 0x02};
    panel.feed(flash);
    for (int i = 0; i < 13; ++i) panel.tick();
    panel.send(0xE3);
    panel.send(0xE9);
    for (int i = 0; i < 4; ++i) panel.tick();
    panel.close();
    ASSERT_TRUE(recorder.stop_recording(error)) << error;

    std::optional<RecordingSource> source = open_recording_source(path);
    ASSERT_TRUE(source);
    RecordingReader reader(std::move(*source));
    ASSERT_TRUE(reader.read_header());
    EXPECT_EQ(reader.header().target, "demo");
    DisplaySession replayed;
    ASSERT_TRUE(replayed.start());
    RecordEvent event;
    std::vector<uint8_t> sent;
    while (reader.next(event)) {
        if (event.kind == RecordKind::rx) replayed.interpret_bytes(event.bytes);
        if (event.kind == RecordKind::tick) replayed.on_timer();
        if (event.kind == RecordKind::tx)
            sent.insert(sent.end(), event.bytes.begin(), event.bytes.end());
    }
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(sent, (std::vector<uint8_t>{0xE3, 0xE9}));
    EXPECT_EQ(replayed.snapshot(), panel.screen());

    // The flight recorder holds the same session.
    const std::string flight = testing::TempDir() + "flight.jsonl";
    ASSERT_TRUE(recorder.save_flight(flight, "demo", error)) << error;
    std::string problem;
    std::FILE* file = std::fopen(flight.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string text(1 << 20, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    std::vector<uint8_t> fed;
    for (const RecordEvent& e : read_all(text, problem)) {
        if (e.kind == RecordKind::rx) fed.insert(fed.end(), e.bytes.begin(), e.bytes.end());
    }
    EXPECT_EQ(problem, "");
    EXPECT_TRUE(std::search(fed.begin(), fed.end(), flash.begin(), flash.end()) != fed.end());
}

TEST(Recording, ADamagedFileIsReadUpToItsLastWholeEvent) {
    RecordingHeader header;
    header.target = "/dev/ttyUSB0";
    std::string text = header_line(header) + "\n";
    const std::vector<RecordEvent> events = {
        {0.5, RecordKind::rx, {0x8C, 0x02, 0x41}, {}},
        {0.6, RecordKind::tick, {}, {}},
        {0.7, RecordKind::link, {}, "lost"},
        {0.8, RecordKind::mark, {}, "a note \"quoted\" \xC3\xA9"},
        {0.9, RecordKind::tx, {0xE9}, {}},
    };
    for (const RecordEvent& e : events) text += event_line(e) + "\n";
    std::string problem;
    EXPECT_EQ(read_all(text, problem), events);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(read_all(text + "[1.0,\"future kind\",1]\n", problem), events);  // skipped
    EXPECT_EQ(problem, "");

    const std::string whole_lines = text;
    const struct {
        std::string tail;
        std::string problem;
    } damage[] = {
        {"[1.0,\"rx\",\"8c0", "line 7 is cut off"},
        {"[1.0,\"rx\",\"8c0\"]\n[2.0,\"tick\"]\n", "line 7: the bytes are not hex digit pairs"},
        {"garbage\n[2.0,\"tick\"]\n", "line 7 is not JSON"},
        {"{\"t\":1}\n", "line 7 is not an event [seconds, kind, ...]"},
        {"[0.1,\"tick\"]\n", "line 7: the time goes back"},
        {"[1.0,\"link\",\"up\"]\n", "line 7: a link state is \"linked\", \"lost\" or \"closed\""},
        {"[1.0,\"rx\"]\n", "line 7: a rx event needs its text"},
        {std::string(RecordingReader::longest_line + 10, ' ') + "\n",
         "line 7 is longer than 1048576 characters"},
    };
    for (const auto& d : damage) {
        EXPECT_EQ(read_all(whole_lines + d.tail, problem), events) << d.problem;
        EXPECT_EQ(problem, d.problem + ": read up to the event before it, at 0.900 s (5 events)");
    }
    EXPECT_TRUE(read_all("9e 94 07\n", problem).empty());
    EXPECT_EQ(problem, "the first line is not the header of a recording");
    EXPECT_TRUE(read_all(R"({"format":"zezodavoru-recording","version":2})", problem).empty());
    EXPECT_EQ(problem, "the header names a version of the format other than 1");
}

TEST(FlightRecorder, KeepsItsSpanAndItsBudgetHoweverFastTheLineRuns) {
    // A 19200-baud line flat out (1,920 bytes a second) in batches every
    // 10 ms, and the tick, for 20 minutes: the last 15 are kept.
    FlightRecorder flight;
    const std::vector<uint8_t> batch(19, 0x41);
    for (int64_t ms = 0; ms <= 20 * 60 * 1000; ms += 10) {
        flight.add({static_cast<double>(ms) / 1000, RecordKind::rx, batch, {}});
        if (ms % 100 == 0) flight.add({static_cast<double>(ms) / 1000, RecordKind::tick, {}, {}});
    }
    EXPECT_TRUE(flight.trimmed());
    // Ten rx runs and ten ticks a second for 15 minutes.
    EXPECT_LE(flight.events(), 15u * 60 * 20 + 2);
    EXPECT_GE(flight.events(), 15u * 60 * 20 - 2);
    EXPECT_LT(flight.memory(), size_t{3} << 20);
    std::printf(
        "flight recorder: 15 minutes of a 19200-baud line flat out: %zu events, %zu bytes\n",
        flight.events(), flight.memory());

    // A line a thousand times faster, for a minute: the budget holds.
    FlightRecorder fast(FlightRecorder::default_span, size_t{4} << 20);
    const std::vector<uint8_t> big(4096, 0x20);
    for (int64_t ms = 0; ms < 60 * 1000; ms += 2) {
        fast.add({static_cast<double>(ms) / 1000, RecordKind::rx, big, {}});
        fast.add({static_cast<double>(ms) / 1000, RecordKind::tx, {0x41}, {}});
    }
    EXPECT_LE(fast.memory(), size_t{4} << 20);
    EXPECT_TRUE(fast.trimmed());
}
