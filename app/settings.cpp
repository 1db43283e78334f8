// The settings record as its 12-byte little-endian file image, and the path
// of the file beside the executable.
//
// The codec goes through the byte image in both directions, so the reserved
// bytes travel through unchanged. Reading checks the two fields the window
// is drawn from against the ranges the window knows.
#include "app/settings.h"

#include <algorithm>

std::array<uint8_t, settings_file_size> settings_to_bytes(const AppSettings& s) {
    std::array<uint8_t, settings_file_size> bytes{};
    const auto scheme = static_cast<uint32_t>(s.color_scheme);
    bytes[0] = s.com_port;
    std::copy(s.reserved_a.begin(), s.reserved_a.end(), bytes.begin() + 1);
    for (size_t i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(scheme >> (8 * i));
    bytes[8] = s.size_preset;
    std::copy(s.reserved_b.begin(), s.reserved_b.end(), bytes.begin() + 9);
    return bytes;
}

void settings_set_defaults(AppSettings& s) {
    s.com_port = 0;
    s.color_scheme = 1;
    s.size_preset = 1;
}

AppSettings settings_from_file(const uint8_t* bytes, size_t count) {
    AppSettings s;
    settings_set_defaults(s);
    if (count < settings_file_size) return s;
    uint32_t scheme = 0;
    for (size_t i = 0; i < 4; ++i) scheme |= uint32_t{bytes[4 + i]} << (8 * i);
    s.com_port = bytes[0];
    std::copy_n(bytes + 1, 3, s.reserved_a.begin());
    if (scheme <= 2) s.color_scheme = static_cast<int32_t>(scheme);
    if (bytes[8] >= 1 && bytes[8] <= 4) s.size_preset = bytes[8];
    std::copy_n(bytes + 9, 3, s.reserved_b.begin());
    return s;
}

std::string settings_path_for(const std::string& executable_path) {
    // Only the file name is looked at: a folder such as "tools.exe.d" or
    // "v1.2" keeps its name.
    const size_t name_start = executable_path.find_last_of("\\/:");
    const size_t name_begin = name_start == std::string::npos ? 0 : name_start + 1;
    const size_t dot = executable_path.rfind('.');
    if (dot == std::string::npos || dot < name_begin) return executable_path + ".cfg";
    return executable_path.substr(0, dot + 1) + "cfg";
}
