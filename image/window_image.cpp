// Builds the window's picture of the dot matrix in memory.
#include "image/window_image.h"

#include <algorithm>
#include <array>

SchemeColors scheme_colors(int32_t color_scheme) {
    if (color_scheme == 1) return {0x000000, 0x33FF99};
    return {0xFFFFFF, 0x8C1414};
}

uint32_t class_background_color(int32_t color_scheme) {
    return color_scheme != 0 ? 0x33FF99 : 0x8C1414;
}

const SizePreset* size_preset_info(uint8_t preset) {
    static constexpr std::array<SizePreset, 4> presets = {{
        {260, 115, 256, 90},
        {340, 140, 337, 120},
        {380, 150, 378, 135},
        {500, 185, 498, 180},
    }};
    if (preset < 1 || preset > 4) return nullptr;
    return &presets[preset - 1u];
}

void build_window_image(const LcdController& c, SchemeColors colors,
                        std::vector<uint32_t>& pixels) {
    build_window_image(c.dots, c.dot_width, c.dot_height, colors, pixels);
}

void build_window_image(std::span<const uint8_t> dots, int32_t dot_width, int32_t dot_height,
                        SchemeColors colors, std::vector<uint32_t>& pixels) {
    const uint32_t on = colorref_to_pixel(colors.dot_on);
    const uint32_t off = colorref_to_pixel(colors.dot_off);
    pixels.assign(static_cast<size_t>(image_width) * image_height, off);
    if (dots.size() < static_cast<size_t>(dot_width) * static_cast<size_t>(dot_height)) return;
    // Dot (x, y) covers the square at (4 (x + 1), 4 y): column 0 is the margin.
    const int32_t width = std::min(dot_width, image_width / dot_pixels - 1);
    const int32_t height = std::min(dot_height, image_height / dot_pixels);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* dot_row = dots.data() + static_cast<size_t>(y) * dot_width;
        uint32_t* top = pixels.data() + static_cast<size_t>(y) * dot_pixels * image_width;
        for (int32_t x = 0; x < width; ++x) {
            if (dot_row[x] == 0) continue;
            std::fill_n(top + (x + 1) * dot_pixels, dot_pixels, on);
        }
        for (int32_t k = 1; k < dot_pixels; ++k) {
            std::copy_n(top, image_width, top + static_cast<size_t>(k) * image_width);
        }
    }
}

std::vector<uint32_t> scale_image(const std::vector<uint32_t>& source, int32_t source_width,
                                  int32_t source_height, int32_t width, int32_t height) {
    std::vector<uint32_t> scaled(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        const int64_t sy = static_cast<int64_t>(y) * source_height / height;
        for (int32_t x = 0; x < width; ++x) {
            const int64_t sx = static_cast<int64_t>(x) * source_width / width;
            scaled[static_cast<size_t>(y) * width + x] =
                source[static_cast<size_t>(sy * source_width + sx)];
        }
    }
    return scaled;
}

WindowPicture window_picture(std::span<const uint8_t> dots, int32_t dot_width, int32_t dot_height,
                             int32_t color_scheme, uint8_t size_preset) {
    WindowPicture picture{{}, image_width, image_height};
    build_window_image(dots, dot_width, dot_height, scheme_colors(color_scheme), picture.pixels);
    if (const SizePreset* preset = size_preset_info(size_preset)) {
        picture.pixels = scale_image(picture.pixels, image_width, image_height, preset->image_cx,
                                     preset->image_cy);
        picture.width = preset->image_cx;
        picture.height = preset->image_cy;
    }
    return picture;
}
