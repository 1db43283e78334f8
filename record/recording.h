// The recording format: one session of a device's line as JSON lines
// (docs/recording.md). The first line is the header object; every later
// line is one event, an array [seconds, "kind", payload], in the order the
// display took them, so that running the events in order through a display
// session reproduces what the window showed.
//
// This file holds the format's vocabulary and the writing of single lines
// (byte payloads as hex text, hex.h); recording_reader.h reads a file back.
// Both use the JSON library, never hand-made JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/hex.h"

// The name in the header's "format" field, and the version this code writes
// and reads.
inline constexpr std::string_view recording_format_name = "zezodavoru-recording";
inline constexpr int32_t recording_format_version = 1;

enum class RecordKind : uint8_t {
    rx,    // bytes fed to the display, hex
    tx,    // key codes sent to the device, hex
    tick,  // one 100 ms step of the display's timer
    link,  // the link's state: "linked", "lost" or "closed"
    mark,  // a note, free text
    drop,  // bytes that arrived while the link settled and were not fed, hex
};

// "rx", "tx", ...; and back (none for a kind this version does not know).
std::string_view record_kind_name(RecordKind kind);
std::optional<RecordKind> record_kind_of(std::string_view name);

struct RecordEvent {
    double t = 0;  // seconds since the recording's start
    RecordKind kind = RecordKind::tick;
    std::vector<uint8_t> bytes;  // rx, tx, drop
    std::string text;            // link, mark

    bool operator==(const RecordEvent&) const = default;
};

struct RecordingHeader {
    std::string program;          // "zezodavoru", "zezodavoru-cli", "zezodavoru-python"
    std::string program_version;  // "1.1"
    std::string target;           // what was linked: "/dev/ttyUSB0", "demo", a recording
    // Which end of the line recorded: "display" (the program; rx is what
    // its display was fed) or "device" (the command-line tool playing the
    // device: rx is what it sent). A device-side recording has no ticks.
    std::string side = "display";
    std::string line = "19200 8N1";  // the line's settings
    std::string start;               // UTC start, "2025-01-31T12:00:00Z"
    // A flight recording holds the session's last minutes only: replayed
    // from the start-up screen it shows exactly only what was drawn anew
    // after its first event.
    bool complete = true;

    bool operator==(const RecordingHeader&) const = default;
};

// The current UTC time as the header's "start" wants it.
std::string utc_now_text();

// One line of the file, without its line break.
std::string header_line(const RecordingHeader& header);
std::string event_line(const RecordEvent& event);

// Whether `first_line` (the file's first line, without its break) is a
// recording's header: a JSON object whose "format" is the format's name.
// What is not is read as a plain byte stream by the tools.
bool is_recording_header(std::string_view first_line);
