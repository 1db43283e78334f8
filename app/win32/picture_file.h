// Pictures as PNG files in the Windows program. The Windows Imaging
// Component, a part of every Windows, encodes the picture in memory; the
// output file (record/output_file.h) then writes it by the rules every file
// the programs write follows.
#pragma once

#include <string>

#include "image/window_image.h"

// Writes `picture` as an 8-bit RGB PNG to `path`. False, with `error` set
// to one sentence, if it cannot be encoded or written; nothing half-written
// is then left behind.
bool write_png_file(const std::string& path, const WindowPicture& picture, std::string& error);
