// The device byte streams that zezodavoru-cli reads (replay, device): a file
// or standard input, taken either as raw bytes or as hex text.
//
// Hex text: pairs of hex digits (either case), each pair one byte, with or
// without whitespace between pairs; '#' starts a comment that runs to the end
// of its line; 't' or 'T' marks a tick, one 100 ms step of the window timer
// (a pause of that length when the stream goes to a real port). Raw input
// has no ticks: every byte of the source is one byte of the stream.
//
// A stream can be taken whole (device sends nothing before all of it has
// parsed) or piece by piece in bounded memory (replay runs a stream of any
// length): the hex parser keeps its place between pieces, so a piece may end
// anywhere, inside a pair or a comment included.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct StreamStep {
    bool tick = false;  // a 100 ms timer step instead of a byte
    uint8_t value = 0;  // the byte, when not a tick
};

// Hex text parsed piece by piece.
class HexStreamParser {
public:
    // Parses the next piece of the text, appending its steps. False at the
    // first malformed character, with `error` set to one line naming its
    // position ("line L, column C: ..."); the rest is not parsed.
    bool feed(std::string_view piece, std::vector<StreamStep>& steps, std::string& error);
    // The end of the text: false if a hex digit still waits for its pair.
    bool finish(std::string& error) const;

private:
    bool unpaired(std::string& error) const;

    uint64_t line_ = 1;
    uint64_t column_ = 0;  // of the last character taken, 0 after a line break
    bool in_comment_ = false;
    char first_digit_ = 0;  // a digit waiting for its pair, or 0
    uint64_t first_line_ = 0;
    uint64_t first_column_ = 0;
};

// Parses the whole of `text` into steps. False on malformed hex text, with
// `error` set as HexStreamParser sets it.
bool parse_byte_stream(std::string_view text, bool hex, std::vector<StreamStep>& steps,
                       std::string& error);

// Reads a file, or standard input when `path` is empty or "-", in pieces of
// at most `piece_size` bytes, handing each to `use` in order until the end
// or until `use` returns false. False, with `error` set, only when the source
// cannot be read (also after some pieces were handed on).
bool read_stream_pieces(const std::string& path, size_t piece_size,
                        const std::function<bool(std::string_view)>& use, std::string& error);

// Reads the whole of a source as read_stream_pieces does.
bool read_stream_source(const std::string& path, std::string& text, std::string& error);
