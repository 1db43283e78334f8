// Replay's and decode's input (stream_input.h): the first piece read
// decides; a recording's reader is handed that piece, and a byte stream
// runs it before reading on.
#include "tools/stream_input.h"

#include <string_view>
#include <vector>

#include "record/recording_reader.h"
#include "tools/byte_stream.h"

namespace {

constexpr size_t piece_size = 64 * 1024;

std::string source_name(const std::string& path) {
    return path.empty() || path == "-" ? "standard input" : path;
}

bool run_recording(RecordingReader& reader, const StreamInput& input,
                   const StreamHandlers& handlers, StreamRun& run, std::string& error) {
    if (!reader.read_header()) {
        error = source_name(input.path) + ": " + reader.problem();
        return false;
    }
    RecordEvent event;
    while (reader.next(event)) {
        if (input.until && event.t > *input.until) return true;
        if (event.kind == RecordKind::rx) handlers.bytes(event.bytes, event.t);
        if (event.kind == RecordKind::tick) handlers.tick();
    }
    if (!reader.problem().empty()) run.problem = source_name(input.path) + ": " + reader.problem();
    return true;
}

bool run_piece(std::string_view piece, bool hex, HexStreamParser& parser,
               const StreamHandlers& handlers, std::string& error) {
    if (!hex) {
        handlers.bytes(std::span(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()),
                       std::nullopt);
        return true;
    }
    std::vector<StreamStep> steps;
    if (!parser.feed(piece, steps, error)) return false;
    std::vector<uint8_t> bytes;
    const auto hand_on = [&] {
        if (!bytes.empty()) handlers.bytes(bytes, std::nullopt);
        bytes.clear();
    };
    for (const StreamStep& step : steps) {
        if (!step.tick) {
            bytes.push_back(step.value);
            continue;
        }
        hand_on();
        handlers.tick();
    }
    hand_on();
    return true;
}

}  // namespace

bool run_stream_input(const StreamInput& input, const StreamHandlers& handlers, StreamRun& run,
                      std::string& error) {
    std::optional<RecordingSource> source = open_recording_source(input.path);
    const std::string cannot_read = "cannot read " + source_name(input.path);
    if (!source) {
        error = cannot_read;
        return false;
    }
    std::string piece(piece_size, '\0');
    std::ptrdiff_t got = (*source)(piece.data(), piece.size());
    if (got < 0) {
        error = cannot_read;
        return false;
    }
    piece.resize(static_cast<size_t>(got));
    const size_t line_end = piece.find('\n');
    run.recording = is_recording_header(std::string_view(piece).substr(0, line_end));
    if (run.recording) {
        RecordingReader reader(std::move(*source), std::move(piece));
        return run_recording(reader, input, handlers, run, error);
    }
    if (input.until) {
        error = "--at needs a recording; " + source_name(input.path) + " is a byte stream";
        return false;
    }
    HexStreamParser parser;
    while (!piece.empty()) {
        if (!run_piece(piece, input.hex, parser, handlers, error)) return false;
        piece.resize(piece_size);
        got = (*source)(piece.data(), piece.size());
        if (got < 0) {
            error = cannot_read;
            return false;
        }
        piece.resize(static_cast<size_t>(got));
    }
    return !input.hex || parser.finish(error);
}
