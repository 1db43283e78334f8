// Writes pictures as PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes a row-major image of 0x00RRGGBB pixels as an 8-bit RGB PNG. False
// (and nothing half-written left behind) if the file cannot be written.
bool write_png(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
               int32_t height);
