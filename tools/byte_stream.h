// The device byte streams that zezodavoru-cli reads (replay, device): a file
// or standard input, taken either as raw bytes or as hex text.
//
// Hex text: pairs of hex digits (either case), each pair one byte, with or
// without whitespace between pairs; '#' starts a comment that runs to the end
// of its line; 't' or 'T' marks a tick, one 100 ms step of the window timer
// (a pause of that length when the stream goes to a real port). Raw input
// has no ticks: every byte of the source is one byte of the stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct StreamStep {
    bool tick = false;  // a 100 ms timer step instead of a byte
    uint8_t value = 0;  // the byte, when not a tick
};

// Parses `text` into steps. False on malformed hex text, with `error` set to
// one line naming the position ("line L, column C: ...").
bool parse_byte_stream(std::string_view text, bool hex, std::vector<StreamStep>& steps,
                       std::string& error);

// Reads the whole of a file, or of standard input when `path` is empty or
// "-". False with `error` set when it cannot be read.
bool read_stream_source(const std::string& path, std::string& text, std::string& error);
