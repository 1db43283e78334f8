// The settings record and its 12-byte file beside the executable.
//
// File image, little-endian: byte 0 com_port (0 = none chosen), bytes 1..3
// reserved, bytes 4..7 color_scheme (signed), byte 8 size_preset (1..4),
// bytes 9..11 reserved. Reserved bytes are written back exactly as read.
// A short file fills only its own bytes; no field's range is checked.
//
// The record codec and the path rule are portable; each front end does the
// file I/O itself (the Windows program: app/win32/settings_file.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct AppSettings {
    uint8_t com_port = 0;
    std::array<uint8_t, 3> reserved_a{};
    int32_t color_scheme = 0;
    uint8_t size_preset = 0;
    std::array<uint8_t, 3> reserved_b{};
};

inline constexpr size_t settings_file_size = 12;

// The record as its 12-byte file image.
std::array<uint8_t, settings_file_size> settings_to_bytes(const AppSettings& s);
// Overlays the first `count` bytes of a file image (at most 12) onto the
// record; the bytes beyond keep their values.
void settings_overlay_bytes(AppSettings& s, const uint8_t* bytes, size_t count);
// The defaults written at a first run: port 0, scheme 1, size 1.
void settings_set_defaults(AppSettings& s);
// The settings file of an executable: its path with the file's extension
// replaced by "cfg" (".cfg" appended when the file has none). Folder names
// are never touched.
std::string settings_path_for(const std::string& executable_path);
