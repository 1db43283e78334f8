// The window's painter (one StretchDIBits of the image built in memory)
// against the per-dot painter (FillRect squares, then StretchBlt): both
// paint into a bitmap compatible with the screen, at each size preset's
// image size, in both colour schemes, for the idle screen, a switched-off
// display and a screen with a cursor, and must leave identical pixels. On a
// screen of twice the density the painter draws the same dots twice as
// large and stays within the scaled image.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "app/win32/paint_win32.h"
#include "app/win32/win32_helpers.h"
#include "image/window_image.h"
#include "protocol/display_session.h"
#include "tests/win32/dot_paint.h"

namespace {

// Colour of the bitmap before a paint; neither scheme uses it.
constexpr COLORREF untouched = 0x00563412;

// Paints into a screen-compatible w x h bitmap first filled with
// `untouched` and reads it back as 0x00RRGGBB pixels, top row first.
std::vector<uint32_t> paint_into_bitmap(const std::function<void(HDC)>& painter, int32_t width,
                                        int32_t height) {
    HDC screen = GetDC(nullptr);
    UniqueGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    UniqueMemoryDc memory(CreateCompatibleDC(screen));
    {
        ObjectSelection selection(memory.get(), bitmap.get());
        UniqueGdiObject<HBRUSH> fill(CreateSolidBrush(untouched));
        const RECT whole{0, 0, width, height};
        FillRect(memory.get(), &whole, fill.get());
        painter(memory.get());
        GdiFlush();
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    const int rows = GetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                               &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(rows, height);
    for (uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
    return pixels;
}

enum class Screen { idle, display_off, cursor };

std::string screen_name(Screen screen) {
    switch (screen) {
        case Screen::idle:
            return "idle";
        case Screen::display_off:
            return "display_off";
        case Screen::cursor:
            return "cursor";
    }
    return "?";
}

void PrintTo(Screen screen, std::ostream* out) {
    *out << screen_name(screen);
}

class PainterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()); }

    void show(Screen screen) {
        session.with_state([&](SessionState& s) {
            if (screen == Screen::display_off) lcd_command(*s.display, 0x08);
            if (screen == Screen::cursor) {
                lcd_command(*s.display, 0x0F);         // display on, underline and blinking block
                lcd_command(*s.display, 0x80 | 0x47);  // row 2, column 8
            }
        });
    }

    // The program's painter and the per-dot painter on this test's session.
    std::function<void(HDC)> window_painter() {
        return [this](HDC dc) { paint_display(dc, panel, settings, pixels); };
    }
    std::function<void(HDC)> per_dot_painter() {
        return [this](HDC dc) { paint_display_per_dot(dc, session, settings); };
    }

    RemotePanel panel;
    DisplaySession& session = panel.session();
    AppSettings settings;
    std::vector<uint32_t> pixels;
};

class PainterMatchTest
    : public PainterTest,
      public ::testing::WithParamInterface<std::tuple<int32_t, Screen, uint8_t>> {};

TEST_P(PainterMatchTest, WindowPainterMatchesPerDotPainter) {
    const auto [scheme, screen, preset] = GetParam();
    settings.color_scheme = scheme;
    settings.size_preset = preset;
    show(screen);
    const SizePreset* size = size_preset_info(preset);
    ASSERT_NE(size, nullptr);

    const std::vector<uint32_t> shipped =
        paint_into_bitmap(window_painter(), size->image_cx, size->image_cy);
    const std::vector<uint32_t> per_dot =
        paint_into_bitmap(per_dot_painter(), size->image_cx, size->image_cy);

    size_t differing = 0;
    size_t first = shipped.size();
    for (size_t i = 0; i < shipped.size(); ++i) {
        if (shipped[i] == per_dot[i]) continue;
        if (differing++ == 0) first = i;
    }
    EXPECT_EQ(differing, 0u) << "first difference at x " << first % size->image_cx << ", y "
                             << first / size->image_cx;

    // The picture fills the whole image area with the scheme's two colours
    // and shows both of them.
    const SchemeColors colors = scheme_colors(scheme);
    const uint32_t on = colorref_to_pixel(colors.dot_on);
    const uint32_t off = colorref_to_pixel(colors.dot_off);
    size_t lit = 0, unlit = 0, other = 0;
    for (uint32_t pixel : shipped) {
        if (pixel == on) {
            ++lit;
        } else if (pixel == off) {
            ++unlit;
        } else {
            ++other;
        }
    }
    EXPECT_GT(lit, 0u);
    EXPECT_GT(unlit, 0u);
    EXPECT_EQ(other, 0u);
}

INSTANTIATE_TEST_SUITE_P(SchemesScreensSizes, PainterMatchTest,
                         ::testing::Combine(::testing::Values(1, 0),
                                            ::testing::Values(Screen::idle, Screen::display_off,
                                                              Screen::cursor),
                                            ::testing::Values(1, 2, 3, 4)),
                         [](const auto& test) {
                             return "scheme" + std::to_string(std::get<0>(test.param)) + "_" +
                                    screen_name(std::get<1>(test.param)) + "_size" +
                                    std::to_string(std::get<2>(test.param));
                         });

TEST_F(PainterTest, SwitchedOffCellsPaintLitButNotTheMarginOrGaps) {
    // Preset 4 keeps the image's height (180 rows), so rows map one to one.
    settings.color_scheme = 1;
    settings.size_preset = 4;
    show(Screen::display_off);
    const SizePreset* size = size_preset_info(4);
    const std::vector<uint32_t> painted =
        paint_into_bitmap(window_painter(), size->image_cx, size->image_cy);
    const auto at = [&](int32_t x, int32_t y) {
        return painted[static_cast<size_t>(y) * size->image_cx + x];
    };
    const uint32_t on = colorref_to_pixel(0x000000);
    const uint32_t off = colorref_to_pixel(0x33FF99);
    EXPECT_EQ(at(1, 10), off);    // left margin
    EXPECT_EQ(at(10, 10), on);    // first cell
    EXPECT_EQ(at(25, 10), off);   // gap column after the first cell
    EXPECT_EQ(at(10, 34), on);    // the first cell's cursor row
    EXPECT_EQ(at(10, 140), on);   // the last text row's cursor row
    EXPECT_EQ(at(10, 150), off);  // the blank dot rows below the text
    EXPECT_EQ(at(10, 178), off);  // the strip that no dot covers
}

TEST_F(PainterTest, TwiceTheDensityPaintsEveryDotTwiceAsLarge) {
    settings.color_scheme = 1;
    settings.size_preset = 4;
    show(Screen::cursor);
    const SizePreset* size = size_preset_info(4);
    const SizePreset doubled = scale_size_preset(*size, 2 * unscaled_dpi);
    EXPECT_EQ(doubled.window_cx, 1000);
    EXPECT_EQ(doubled.window_cy, 370);
    ASSERT_EQ(doubled.image_cx, 996);
    ASSERT_EQ(doubled.image_cy, 360);
    const std::vector<uint32_t> normal =
        paint_into_bitmap(window_painter(), size->image_cx, size->image_cy);
    // Painted into a larger bitmap: nothing beyond the scaled image.
    const int32_t width = doubled.image_cx + 4, height = doubled.image_cy + 4;
    const std::vector<uint32_t> dense = paint_into_bitmap(
        [this](HDC dc) { paint_display(dc, panel, settings, pixels, 2 * unscaled_dpi); }, width,
        height);
    const auto pixel = [](const std::vector<uint32_t>& picture, int32_t w, int32_t x, int32_t y) {
        return picture[static_cast<size_t>(y) * w + x];
    };
    // The centre of dot (x, y), a 4 x 4 square at (4 (x + 1), 4 y) of the
    // image, and its corners one pixel in, at both densities.
    size_t compared = 0, lit = 0;
    for (int32_t y = 0; y < 44; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            const int32_t ix = 4 * (x + 1), iy = 4 * y;
            const uint32_t expected =
                pixel(normal, size->image_cx, (ix + 2) * size->image_cx / image_width, iy + 2);
            for (const auto& [dx, dy] : {std::pair{2, 2}, std::pair{1, 1}, std::pair{3, 3}}) {
                const int32_t px = (ix + dx) * doubled.image_cx / image_width;
                const int32_t py = (iy + dy) * doubled.image_cy / image_height;
                ASSERT_EQ(pixel(dense, width, px, py), expected) << "dot " << x << ", " << y;
            }
            ++compared;
            lit += expected == colorref_to_pixel(0x000000);
        }
    }
    EXPECT_EQ(compared, 120u * 44u);
    EXPECT_GT(lit, 0u);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = doubled.image_cx; x < width; ++x) {
            ASSERT_EQ(pixel(dense, width, x, y), colorref_to_pixel(untouched)) << x << ", " << y;
        }
    }
    for (int32_t x = 0; x < width; ++x) {
        ASSERT_EQ(pixel(dense, width, x, doubled.image_cy), colorref_to_pixel(untouched)) << x;
    }
}

TEST_F(PainterTest, PresetOutsideOneToFourPaintsNothing) {
    for (uint8_t preset : std::array<uint8_t, 3>{0, 5, 255}) {
        settings.size_preset = preset;
        for (const auto& painter : {window_painter(), per_dot_painter()}) {
            const std::vector<uint32_t> painted = paint_into_bitmap(painter, 64, 32);
            for (uint32_t pixel : painted) ASSERT_EQ(pixel, colorref_to_pixel(untouched));
        }
    }
}

TEST_F(PainterTest, NoControllerPaintsNothing) {
    settings.size_preset = 1;
    session.stop();
    const std::vector<uint32_t> painted = paint_into_bitmap(window_painter(), 256, 90);
    for (uint32_t pixel : painted) ASSERT_EQ(pixel, colorref_to_pixel(untouched));
}

TEST_F(PainterTest, PaintWaitsForTheSessionLock) {
    settings.size_preset = 1;
    std::atomic<bool> painted{false};
    std::thread painter;
    session.with_state([&](SessionState&) {
        painter = std::thread([&] {
            paint_into_bitmap(window_painter(), 256, 90);
            painted = true;
        });
        Sleep(200);
        EXPECT_FALSE(painted.load()) << "painted while another thread held the session's lock";
    });
    painter.join();
    EXPECT_TRUE(painted.load());
}

}  // namespace
