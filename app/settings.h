// The settings record and its 12-byte file beside the executable.
//
// File image, little-endian: byte 0 com_port (0 = none chosen), bytes 1..3
// reserved, bytes 4..7 color_scheme (signed), byte 8 size_preset (1..4),
// bytes 9..11 reserved. Reserved bytes are written back exactly as read.
// A short file fills only its own bytes; no field's range is checked.
//
// The record codec and the path rule are portable; settings_path_init,
// settings_load and settings_save do the file I/O (settings_win32.cpp).
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

// File I/O on app_settings at settings_path (Windows front end).
// settings_path_init: the executable's settings path, or empty when the
// executable's own path does not fit MAX_PATH (nothing is then read or
// written).
void settings_path_init();
// 1 when the file was read, or could not be opened and the defaults were
// taken (and saved); 0 with the message "Read config file failed." when
// reading an opened file failed.
int settings_load();
// Writes a temporary file beside the settings file and puts it in the old
// one's place, so a failed save leaves the previous file whole. 1 when saved
// or when the folder cannot be written (silently); 0 with the message
// "Save State Failed." when writing or replacing failed.
int settings_save();
