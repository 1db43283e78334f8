// PNG output through libpng, into an output file (output_file.h), which
// puts the picture under its name only once it is complete. libpng hands
// the encoded bytes to a write callback here, so a failed write stops the
// encoder at once and its reason is the output file's.
#include "tools/png_writer.h"

#include <png.h>

#include "record/output_file.h"

namespace {

void write_bytes(png_structp png, png_bytep data, size_t size) {
    if (!static_cast<OutputFile*>(png_get_io_ptr(png))->write(data, size)) {
        png_error(png, "write failed");
    }
}

void flush_nothing(png_structp) {}

// libpng's own handlers would print its messages; the caller reports the
// output file's reason instead.
[[noreturn]] void stop_encoding(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void ignore_warning(png_structp, png_const_charp) {}

// Encodes the picture into the output. libpng reports errors by jumping
// back to the setjmp point, so nothing here needs destruction, and nothing
// set after the setjmp is used after the jump.
bool encode(OutputFile& out, const uint32_t* pixels, uint8_t* row, int32_t width, int32_t height) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stop_encoding, ignore_warning);
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
    png_set_write_fn(png, &out, write_bytes, flush_nothing);
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
               int32_t height, std::string& error) {
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height) {
        error = "cannot write " + path + ": the picture is empty";
        return false;
    }
    OutputFile out;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    const bool encoded = out.open(path) && encode(out, pixels.data(), row.data(), width, height);
    if (encoded && out.commit()) return true;
    error = out.error().empty() ? "cannot write " + path + ": the picture cannot be encoded"
                                : out.error();
    return false;
}
