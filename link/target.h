// Target strings: what the programs, the tool and the Python module take
// wherever they take a port, and what each one names.
//
//   /dev/ttyUSB0, /dev/serial/by-id/..., ./pty   a terminal device (any path)
//   COM5, com12, \\.\COM12                       a Windows COM port, 1..255
//   demo                                         the built-in demo device
//
// Anything else of the URL form "scheme://..." names no port this program
// can open, so it is not taken for a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class TargetKind { device, com_port, demo };

struct Target {
    TargetKind kind = TargetKind::device;
    std::string path;      // device: the path, as bytes
    uint8_t com_port = 0;  // com_port: 1..255
};

// What `text` names; nothing for an empty string, a URL or "COM" with a
// number out of range.
std::optional<Target> parse_target(const std::string& text);
