// Target strings: what the programs, the tool and the Python module take
// wherever they take a port, and what each one names.
//
//   /dev/ttyUSB0, /dev/serial/by-id/..., ./pty   a terminal device (any path)
//   COM5, com12, \\.\COM12                       a Windows COM port, 1..255
//   demo                                         the built-in demo device
//   rfc2217://HOST:PORT                          a port served over telnet with
//                                                the COM-PORT-OPTION (ser2net)
//   socket://HOST:PORT                           a port served as raw TCP
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets
// ("[::1]"); PORT is 1..65535. Anything else of the URL form "scheme://..."
// names no port this program can open, so it is not taken for a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class TargetKind { device, com_port, demo, rfc2217, socket };

struct Target {
    TargetKind kind = TargetKind::device;
    std::string path;       // device: the path, as bytes
    uint8_t com_port = 0;   // com_port: 1..255
    std::string host;       // rfc2217, socket: the name or address (no brackets)
    uint16_t tcp_port = 0;  // rfc2217, socket: 1..65535
};

// Whether the target is reached over the network.
inline bool is_network(const Target& target) {
    return target.kind == TargetKind::rfc2217 || target.kind == TargetKind::socket;
}

// What `text` names; nothing for an empty string, a URL of another scheme or
// with no host or port, or "COM" with a number out of range.
std::optional<Target> parse_target(const std::string& text);
