// The settings record and its 12-byte file beside the executable.
//
// File image, little-endian: byte 0 com_port (0 = none chosen), bytes 1..3
// reserved, bytes 4..7 color_scheme (signed), byte 8 size_preset (1..4),
// bytes 9..11 reserved. Reserved bytes are written back exactly as read.
// A file too short to hold the record gives the defaults, and so does a
// size or colour scheme out of range for that field, as in the Linux
// program: a damaged file never leaves the window without a picture.
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
// The record a settings file of `count` bytes holds: its first 12 bytes,
// with a size preset outside 1..4 or a colour scheme outside 0..2 replaced
// by its default; the default record (reserved bytes 0) for a file shorter
// than 12 bytes. Bytes beyond the record are ignored.
AppSettings settings_from_file(const uint8_t* bytes, size_t count);
// The defaults written at a first run: port 0, scheme 1, size 1.
void settings_set_defaults(AppSettings& s);
// The settings file of an executable: its path with the file's extension
// replaced by "cfg" (".cfg" appended when the file has none). Folder names
// are never touched.
std::string settings_path_for(const std::string& executable_path);
