// Writes pictures as PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes a row-major image of 0x00RRGGBB pixels as an 8-bit RGB PNG to
// `path` ("-": standard output) through an output file (output_file.h).
// False, with `error` set to one line naming the path, if it cannot be
// written; nothing half-written is then left behind.
bool write_png(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
               int32_t height, std::string& error);
