// The input of replay and decode: a recording (docs/recording.md),
// recognised by its header line, or else a device byte stream, raw or as
// hex text (byte_stream.h). Either is read in bounded memory, piece by
// piece or event by event, and handed on as bytes (with their time, for a
// recording) and ticks of the display's timer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

struct StreamInput {
    std::string path;             // empty or "-": standard input
    bool hex = false;             // a byte stream is hex text
    std::optional<double> until;  // a recording's events up to this time only
};

struct StreamHandlers {
    std::function<void(std::span<const uint8_t> bytes, std::optional<double> t)> bytes;
    std::function<void()> tick;
};

struct StreamRun {
    bool recording = false;
    // A damaged recording: what was wrong, the events before it were run.
    std::string problem;
};

// Runs the input through the handlers. False, with `error` set (one line),
// when it cannot be read, its hex text is malformed, or a time is asked of
// a byte stream; a damaged recording is run up to its last whole event and
// said in run.problem.
bool run_stream_input(const StreamInput& input, const StreamHandlers& handlers, StreamRun& run,
                      std::string& error);
