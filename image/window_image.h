// The picture of the emulated glass that the main window shows, built in
// memory: a 488 x 180 image in which every dot of the controller's dot
// matrix is a 4 x 4 square, after a one-dot margin at the left. Pixels that
// no dot covers (the strips at the right and bottom) show the dot-off
// colour. The Windows painter hands this image to one stretch call; the
// replay tool and the Python module write it as a picture (window_picture).
//
// Colours are Windows COLORREF values (0x00BBGGRR); image pixels are 32-bit
// 0x00RRGGBB, the memory order (blue, green, red, 0) of a 32-bit DIB.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "display/lcd_controller.h"

inline constexpr int32_t image_width = 488;
inline constexpr int32_t image_height = 180;
inline constexpr int32_t dot_pixels = 4;

struct SchemeColors {
    uint32_t dot_on;   // COLORREF
    uint32_t dot_off;  // COLORREF, also the left margin
};

// Painting colours: scheme 1 is black on light green, any other value white
// on dark blue.
SchemeColors scheme_colors(int32_t color_scheme);
// Window class background: light green for a nonzero scheme, dark blue for 0.
uint32_t class_background_color(int32_t color_scheme);

struct SizePreset {
    int32_t window_cx, window_cy;  // SetWindowPos size
    int32_t image_cx, image_cy;    // destination of the stretched image
};
// The preset's sizes, or null for a value outside 1..4 (no resize, no image).
const SizePreset* size_preset_info(uint8_t preset);

// COLORREF 0x00BBGGRR to image pixel 0x00RRGGBB.
constexpr uint32_t colorref_to_pixel(uint32_t colorref) {
    return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

// Builds the 488 x 180 image (row-major, top row first) from the dots that
// the last lcd_render left in the controller. Dots beyond the image are
// clipped.
void build_window_image(const LcdController& c, SchemeColors colors, std::vector<uint32_t>& pixels);
// The same from a copy of the dots (a screen snapshot's): row-major,
// dot_width x dot_height, as the controller holds them.
void build_window_image(std::span<const uint8_t> dots, int32_t dot_width, int32_t dot_height,
                        SchemeColors colors, std::vector<uint32_t>& pixels);

// Nearest-neighbour scaling of a row-major image.
std::vector<uint32_t> scale_image(const std::vector<uint32_t>& source, int32_t source_width,
                                  int32_t source_height, int32_t width, int32_t height);

// A picture as the tools write it.
struct WindowPicture {
    std::vector<uint32_t> pixels;  // row-major, top row first, 0x00RRGGBB
    int32_t width = 0;
    int32_t height = 0;
};
// The window's picture of the dots in a colour scheme, scaled to the image
// size of a size preset (1..4), or the unscaled 488 x 180 image for 0.
WindowPicture window_picture(std::span<const uint8_t> dots, int32_t dot_width, int32_t dot_height,
                             int32_t color_scheme, uint8_t size_preset);
