// The per-dot painter. The bitmap is first filled with the dot-off colour,
// so that the strips no dot covers match the program's image; then the left
// margin column and every dot of the matrix are drawn as squares.
#include "tests/win32/dot_paint.h"

#include <algorithm>

#include "app/win32/paint_win32.h"
#include "app/win32/win32_helpers.h"
#include "display/lcd_controller.h"
#include "image/window_image.h"

void draw_dot(HDC dc, int32_t x, int32_t y, HBRUSH brush) {
    const RECT square{x * dot_pixels, y * dot_pixels, (x + 1) * dot_pixels, (y + 1) * dot_pixels};
    FillRect(dc, &square, brush);
}

void paint_display_per_dot(HDC dc, DisplaySession& session, const AppSettings& settings) {
    const SizePreset* preset = size_preset_info(settings.size_preset);
    if (preset == nullptr) return;
    const SchemeColors colors = scheme_colors(settings.color_scheme);
    UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    UniqueGdiObject<HBRUSH> dot_on(CreateSolidBrush(colors.dot_on));
    UniqueGdiObject<HBRUSH> dot_off(CreateSolidBrush(colors.dot_off));
    UniqueGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(dc, image_width, image_height));
    ObjectSelection selection(memory.get(), bitmap.get());
    const RECT whole{0, 0, image_width, image_height};
    FillRect(memory.get(), &whole, dot_off.get());
    const bool rendered = session.render([&](const LcdController& display) {
        const int32_t width = std::min(display.dot_width, image_width / dot_pixels - 1);
        const int32_t height = std::min(display.dot_height, image_height / dot_pixels);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = display.dots.data() + static_cast<size_t>(y) * display.dot_width;
            for (int32_t x = 0; x <= width; ++x) {
                const bool lit = x > 0 && row[x - 1] != 0;
                draw_dot(memory.get(), x, y, lit ? dot_on.get() : dot_off.get());
            }
        }
    });
    if (!rendered) return;
    SetStretchBltMode(dc, window_stretch_mode);
    StretchBlt(dc, 0, 0, preset->image_cx, preset->image_cy, memory.get(), 0, 0, image_width,
               image_height, SRCCOPY);
}
