// Writes a firmware test from a recorded session: a pytest module whose one
// test presses the keys that were sent, in order, each followed by waits for
// what the screen then settled to. zezodavoru-cli codegen writes it from a
// recording file, the Linux program's "Save as test..." from its flight
// recorder; both through this one writer.
//
// The recording is replayed through a display session of the writer's own,
// so every key code is seen with the screen before it, the device's answer
// to it and the screen just before the next key. Each key code becomes
// panel.press("Name") by the key names (keyboard/key_names.h), or
// panel.send(b"...") for codes no name sends. The waits are
// panel.wait_for(re.compile(ROW), row=N, timeout=T) on each row the key
// changed, the whole row matched exactly, with a timeout drawn from how long
// the screen took to settle: twice that and a second, and at least the time
// since the screen last waited for and a second and a half (keys the device
// ignored meanwhile come sooner in the test than they were pressed); never
// less than the module's two seconds, or five before the first key, where
// the device starts up and a link settles.
//
// What the device changes by itself must not be waited for as recorded:
// the status line's counters, a busy indicator, anything drawn from the
// device's own readings. The rules come from the recording itself, from
// what changed without a key:
// - The device's answer to a key is the first batch of bytes that comes
//   within half a second of it; every other change (later bytes, the
//   display's own timer) happened by itself. Bytes less than 20 ms apart are
//   one batch.
// - Before the first key the device starts up: its drawing up to the last
//   batch that drew at least a row's worth of cells (20) by itself is its
//   start-up screen, not a change by itself.
// - A row that changed by itself after the span's screen was last drawn
//   anew (by a batch of 20 cells or more; or in the whole span if none was)
//   goes on changing by itself: the status line's counters. It is matched
//   by '.' as the span left it; a row that does so in two spans or more is
//   matched by '.' everywhere, and so never waited for (a row a passing
//   screen kept busy through several keys, a calibration's progress, is so
//   too: fewer waits, never a wrong one).
// - A row with a cell that changed by itself twice or more in one span (a
//   change back to what it showed before the key not counted) keeps
//   changing, as a busy indicator does: it is matched by '.' as that span
//   left it.
// - Where lines of text (half a row or more, not as part of a screen drawn
//   anew) were written by themselves twice in a span, besides what changes
//   everywhere, the screen shows what the device finds meanwhile (an event
//   log): what the span drew is matched by '.'.
// - A cell whose value came by itself so, and that no key has changed
//   since, is matched by '.' in later rows too.
// - When every row the key changed ends the span as it was before the key
//   (a screen that comes back by itself), the test first waits for the
//   key's answer, then for the rows as they came back.
// What the device draws from its own readings or clock and then leaves
// alone (a calibration's result, a log looked at for a moment) cannot be
// told from fixed text by one recording: such a wait is written as
// recorded, and may need editing.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/key_names.h"
#include "protocol/display_session.h"
#include "protocol/screen_snapshot.h"
#include "record/recording.h"

class TestWriter {
public:
    // The screen's cells, row by row, and sets of them.
    static constexpr size_t cell_count =
        static_cast<size_t>(ScreenSnapshot::rows * ScreenSnapshot::columns);
    using Cells = std::array<uint8_t, cell_count>;
    using CellSet = std::bitset<cell_count>;

    // `origin`: what was recorded, for the module's comments ("session.jsonl",
    // "the flight recorder"); `author`: what writes it ("zezodavoru-cli
    // codegen").
    TestWriter(std::string origin, std::string author);
    TestWriter(const TestWriter&) = delete;
    TestWriter& operator=(const TestWriter&) = delete;

    // The recording's header (its target and start go into the comments; an
    // incomplete recording is warned of).
    void set_header(const RecordingHeader& header);
    // The recording's events, in order.
    void add(const RecordEvent& event);
    // Something the user should know of the recording (it is damaged),
    // said in the module and among warnings().
    void warn(std::string warning) { warnings_.push_back(std::move(warning)); }
    // The pytest module, once every event is in.
    std::string finish();
    // What the user should know of the test written, one sentence each.
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    enum class BurstKind : uint8_t { answer, by_itself, start_up };
    struct Burst {
        size_t segment = 0;
        BurstKind kind = BurstKind::by_itself;
        double end = 0;
        CellSet changed;
        CellSet anew;  // changed to what the cell did not show before the key
    };
    // The span from one key to the next (the first: from the start to the
    // first key, with no codes).
    struct Segment {
        double key_time = 0;
        std::vector<uint8_t> codes;
        std::vector<std::string> notes;  // marks recorded before the key
        Cells before{};
        Cells answered{};
        Cells settled{};
        std::optional<size_t> answer;  // its answer batch, in bursts_
        // At `settled`: the batch that last changed each cell, or none.
        std::array<std::optional<size_t>, cell_count> changed_by{};
    };
    struct Wait {
        int32_t row = 0;
        std::string pattern;
        double shown = 0;  // when the recorded screen showed it
    };

    Cells current_cells();
    void take_bytes(const std::vector<uint8_t>& bytes, double t);
    void take_tick(double t);
    void take_key(const std::vector<uint8_t>& codes, double t);
    void open_burst(double t);
    void close_burst();
    void add_burst(BurstKind kind, double end, const Cells& before);
    void end_segment();

    void mark_start_up();
    CellSet restless_after_drawing(size_t segment) const;
    CellSet restless_within(size_t segment) const;
    CellSet restless_everywhere() const;
    std::vector<Wait> waits_of(size_t segment, const CellSet& restless, CellSet& vague) const;
    double shown_at(const Segment& segment, const CellSet& cells) const;
    std::vector<std::string> key_lines(const Segment& segment) const;
    std::string comments() const;

    std::string origin_;
    std::string author_;
    std::vector<NamedKeyCodes> key_names_;
    RecordingHeader header_;
    DisplaySession session_;
    Cells cells_{};
    Cells start_cells_{};
    std::vector<Burst> bursts_;
    std::vector<Segment> segments_;
    std::vector<std::string> notes_;  // marks waiting for the next key
    std::array<std::optional<size_t>, cell_count> changed_by_{};
    bool burst_open_ = false;
    Cells burst_before_{};
    double last_bytes_ = 0;
    bool awaiting_answer_ = false;
    size_t keys_ = 0;
    std::vector<std::string> warnings_;
};

// The test of a recording file: false, with `error` set, when it cannot be
// read or is no recording; a damaged one is written up to its last whole
// event, which a warning says.
bool write_test_of_recording(const std::string& path, const std::string& author,
                             std::string& module, std::vector<std::string>& warnings,
                             std::string& error);
