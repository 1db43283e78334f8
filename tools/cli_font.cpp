// zezodavoru-cli font --rom 0|1|8x16 [--png FILE]
//
// Lists a font, one line per code 0x10..0xFF: "CC: BB BB ..." with the
// glyph's bytes in stored order (5 column bytes for the ROM fonts, 16 row
// bytes for the 8x16 font). With --png it also draws the font as a sheet of
// 16 glyphs a row so that a person can look at every glyph: each dot a
// square, lit dots dark, unlit dots light grey, glyphs separated by white.
// With --png - the sheet goes to standard output in place of the listing.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "display/char_generator.h"
#include "record/output_file.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/png_writer.h"

namespace {

struct FontView {
    std::span<const uint8_t> bytes;
    int32_t glyph_bytes;  // 5 (column glyph) or 16 (row glyph)
    int32_t width;        // glyph dots across
    int32_t height;       // glyph dots down
};

constexpr int32_t first_code = 0x10;
constexpr int32_t code_count = 256 - first_code;

FontView font_view(FontChoice choice) {
    switch (choice) {
        case FontChoice::rom0:
            return {font_rom0, 5, 5, 8};
        case FontChoice::wide8x16:
            return {font_8x16, 16, 8, 16};
        case FontChoice::rom1:
            break;
    }
    return {font_rom1, 5, 5, 8};
}

// Whether dot (x, y) of a glyph is lit, in either stored format.
bool glyph_dot(const FontView& font, std::span<const uint8_t> glyph, int32_t x, int32_t y) {
    if (font.glyph_bytes == 5) return (glyph[static_cast<size_t>(x)] >> (7 - y)) & 1;
    return (glyph[static_cast<size_t>(y)] >> (7 - x)) & 1;
}

// Sheet layout, in pixels.
constexpr int32_t sheet_columns = 16;
constexpr int32_t dot_size = 4;  // a dot is a 3 x 3 square in a 4 x 4 pitch
constexpr int32_t gap = 8;       // between glyphs and around the sheet
constexpr uint32_t paper = 0xFFFFFF;
constexpr uint32_t unlit = 0xDDDDDD;
constexpr uint32_t lit = 0x202020;

bool write_sheet(const FontView& font, const std::string& path, std::string& error) {
    const int32_t cell_w = font.width * dot_size + gap;
    const int32_t cell_h = font.height * dot_size + gap;
    const int32_t sheet_rows = code_count / sheet_columns;
    const int32_t width = gap + sheet_columns * cell_w;
    const int32_t height = gap + sheet_rows * cell_h;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, paper);
    for (int32_t n = 0; n < code_count; ++n) {
        const auto glyph = font.bytes.subspan(static_cast<size_t>(n * font.glyph_bytes),
                                              static_cast<size_t>(font.glyph_bytes));
        const int32_t left = gap + (n % sheet_columns) * cell_w;
        const int32_t top = gap + (n / sheet_columns) * cell_h;
        for (int32_t y = 0; y < font.height; ++y) {
            for (int32_t x = 0; x < font.width; ++x) {
                const uint32_t colour = glyph_dot(font, glyph, x, y) ? lit : unlit;
                for (int32_t py = 0; py < dot_size - 1; ++py) {
                    uint32_t* p = pixels.data() +
                                  static_cast<size_t>(top + y * dot_size + py) * width + left +
                                  x * dot_size;
                    std::fill_n(p, dot_size - 1, colour);
                }
            }
        }
    }
    return write_png(path, pixels, width, height, error);
}

void print_font(const FontView& font) {
    std::string out;
    for (int32_t n = 0; n < code_count; ++n) {
        char text[8];
        std::snprintf(text, sizeof text, "%02x:", first_code + n);
        out += text;
        for (int32_t k = 0; k < font.glyph_bytes; ++k) {
            std::snprintf(text, sizeof text, " %02x",
                          font.bytes[static_cast<size_t>(n * font.glyph_bytes + k)]);
            out += text;
        }
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int cli_font(const FontOptions& options) {
    const FontView font = font_view(options.font);
    if (!is_standard_output(options.png_path)) print_font(font);
    std::string error;
    if (!options.png_path.empty() && !write_sheet(font, options.png_path, error)) {
        return report_failure("font: " + error);
    }
    return 0;
}
