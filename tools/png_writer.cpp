// PNG output through libpng. The image goes to a temporary file beside the
// target, which is renamed over the target only once it is complete, so a
// failed write never leaves a half picture under the target's name.
#include "tools/png_writer.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Encodes the picture into an open file. libpng reports errors by jumping
// back to the setjmp point, so nothing here needs destruction, and nothing
// set after the setjmp is used after the jump.
bool encode(FILE* file, const uint32_t* pixels, uint8_t* row, int32_t width, int32_t height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* source = pixels + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(source[x] >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(source[x] >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(source[x]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool write_png(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
               int32_t height) {
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height) {
        return false;
    }
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    bool ok = encode(file, pixels.data(), row.data(), width, height);
    ok = std::fclose(file) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}
