// The display commands of a device byte stream, explained for people: each
// command with its bytes, name, decoded arguments and repaint, and warnings
// a firmware developer can act on -- an argument out of range and what the
// display does instead, bytes ignored between commands, characters skipped
// in a text, a command cut off by the end of the stream.
//
// The stream is split exactly as the interpreter splits it
// (protocol/interpreter.cpp): the command vocabulary (protocol/commands.h)
// gives each command's counted arguments and whether a text up to a 0
// follows, and nothing else ends a command. What the display does with a
// value out of range is the protocol reference's word (docs/protocol.md,
// "Out-of-range values").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/commands.h"

struct DecodedArgument {
    std::string name;
    std::optional<int64_t> number;  // a number, else `text`
    std::string text;
};

struct DecodedCommand {
    uint64_t offset = 0;      // of its first byte in the stream
    std::optional<double> t;  // a recording's time of its first byte
    std::vector<uint8_t> bytes;
    const CommandInfo* info = nullptr;  // null: bytes ignored between commands
    std::vector<DecodedArgument> args;
    bool repaint = false;  // it asks for a repaint (clear row twice)
    bool cut_off = false;  // the stream ended inside it
    std::vector<std::string> warnings;
};

class CommandDecoder {
public:
    using Sink = std::function<void(const DecodedCommand&)>;

    explicit CommandDecoder(Sink sink) : sink_(std::move(sink)) {}

    // The next bytes of the stream, arrived at `t` (recordings).
    void feed(std::span<const uint8_t> bytes, std::optional<double> t = std::nullopt);
    // The end of the stream: ignored bytes still held are handed on, and a
    // command in progress is handed on as cut off.
    void finish();

private:
    void take(uint8_t b, std::optional<double> t);
    void start(uint8_t b, const CommandInfo* info, std::optional<double> t);
    void complete();
    void flush_ignored();

    Sink sink_;
    uint64_t offset_ = 0;
    DecodedCommand current_;
    bool in_command_ = false;
    size_t counted_left_ = 0;  // counted argument bytes still to come
    DecodedCommand ignored_;   // a run of ignored bytes, while it grows
};

// One line for people: where, the bytes, the name, the arguments, the
// repaint and the warnings.
std::string decoded_text(const DecodedCommand& command);
// One JSON object: offset, t, bytes (hex), command (the byte as "0xHH", or null), name,
// args, repaint, warnings.
std::string decoded_json(const DecodedCommand& command);
