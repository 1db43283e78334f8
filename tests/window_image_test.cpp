// The window's picture of the dot matrix: one-dot margin, 4 x 4 squares,
// the uncovered strips in the dot-off colour, colours per scheme, the size
// presets and nearest-neighbour scaling.
#include "image/window_image.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The pixel a dot matrix should give at (px, py), worked out per pixel.
uint32_t expected_pixel(const LcdController& c, int32_t px, int32_t py, uint32_t on, uint32_t off) {
    const int32_t x = px / 4 - 1;
    const int32_t y = py / 4;
    if (x < 0 || x >= c.dot_width || y >= c.dot_height) return off;
    return c.dots[static_cast<size_t>(y * c.dot_width + x)] != 0 ? on : off;
}

TEST(WindowImage, DotsBecomeSquaresAfterTheMargin) {
    struct Case {
        int32_t columns, rows;
    };
    for (const Case& k : {Case{20, 4}, Case{40, 1}, Case{115, 64}, Case{8, 1}}) {
        SCOPED_TRACE(testing::Message() << k.columns << "x" << k.rows);
        auto c = lcd_create(k.columns, k.rows, 1);
        uint32_t seed = 12345;
        for (uint8_t& d : c->dots) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t r = (seed >> 16) % 3;
            d = r == 0 ? 0 : r == 1 ? 1 : 255;
        }
        c->dots.front() = 1;
        c->dots.back() = 255;
        std::vector<uint32_t> pixels;
        build_window_image(*c, scheme_colors(1), pixels);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(488 * 180));
        for (int32_t py = 0; py < 180; ++py) {
            for (int32_t px = 0; px < 488; ++px) {
                ASSERT_EQ(pixels[static_cast<size_t>(py * 488 + px)],
                          expected_pixel(*c, px, py, 0x000000, 0x99FF33))
                    << px << "," << py;
            }
        }
    }
}

TEST(WindowImage, StripsAndMarginShowDotOff) {
    auto c = lcd_create(20, 4, 1);
    std::fill(c->dots.begin(), c->dots.end(), uint8_t{255});
    std::vector<uint32_t> pixels(5, 0xDEAD);
    build_window_image(*c, scheme_colors(0), pixels);
    const uint32_t off = 0x14148C;
    const uint32_t on = 0xFFFFFF;
    for (int32_t py = 0; py < 180; ++py) {
        EXPECT_EQ(pixels[static_cast<size_t>(py * 488 + 3)], off);    // margin
        EXPECT_EQ(pixels[static_cast<size_t>(py * 488 + 484)], off);  // right strip
    }
    for (int32_t px = 0; px < 488; ++px)
        EXPECT_EQ(pixels[static_cast<size_t>(176 * 488 + px)], off);
    EXPECT_EQ(pixels[4], on);
    EXPECT_EQ(pixels[static_cast<size_t>(175 * 488 + 483)], on);
}

TEST(WindowImage, SchemeColours) {
    struct Case {
        int32_t scheme;
        uint32_t on, off, background;
    };
    const Case cases[] = {
        {1, 0x000000, 0x33FF99, 0x33FF99},
        {0, 0xFFFFFF, 0x8C1414, 0x8C1414},
        {2, 0xFFFFFF, 0x8C1414, 0x33FF99},
        {-1, 0xFFFFFF, 0x8C1414, 0x33FF99},
    };
    for (const Case& k : cases) {
        const SchemeColors colors = scheme_colors(k.scheme);
        EXPECT_EQ(colors.dot_on, k.on) << k.scheme;
        EXPECT_EQ(colors.dot_off, k.off) << k.scheme;
        EXPECT_EQ(class_background_color(k.scheme), k.background) << k.scheme;
    }
    EXPECT_EQ(colorref_to_pixel(0x33FF99), 0x99FF33u);
    EXPECT_EQ(colorref_to_pixel(0x8C1414), 0x14148Cu);
}

TEST(WindowImage, SizePresets) {
    struct Case {
        uint8_t preset;
        SizePreset want;
    };
    const Case cases[] = {
        {1, {260, 115, 256, 90}},
        {2, {340, 140, 337, 120}},
        {3, {380, 150, 378, 135}},
        {4, {500, 185, 498, 180}},
    };
    for (const Case& k : cases) {
        const SizePreset* p = size_preset_info(k.preset);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->window_cx, k.want.window_cx);
        EXPECT_EQ(p->window_cy, k.want.window_cy);
        EXPECT_EQ(p->image_cx, k.want.image_cx);
        EXPECT_EQ(p->image_cy, k.want.image_cy);
    }
    for (int preset : {0, 5, 255}) {
        EXPECT_EQ(size_preset_info(static_cast<uint8_t>(preset)), nullptr) << preset;
    }
}

TEST(WindowImage, NearestNeighbourScaling) {
    // 3 x 2 source: pixel value = 10 * row + column.
    const std::vector<uint32_t> source = {0, 1, 2, 10, 11, 12};
    struct Case {
        int32_t width, height;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {6, 2, {0, 0, 1, 1, 2, 2, 10, 10, 11, 11, 12, 12}},
        {3, 4, {0, 1, 2, 0, 1, 2, 10, 11, 12, 10, 11, 12}},
        {2, 1, {0, 1}},
        {1, 1, {0}},
        {4, 3, {0, 0, 1, 2, 0, 0, 1, 2, 10, 10, 11, 12}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(scale_image(source, 3, 2, k.width, k.height), k.want)
            << k.width << "x" << k.height;
    }
}

}  // namespace
