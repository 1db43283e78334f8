// Painting of the main window. The dot matrix becomes a 488 x 180 picture in
// memory (build_window_image) and reaches the screen in one StretchDIBits
// call: the picture is a 32-bit top-down DIB whose pixels are already in the
// DIB's blue-green-red order, so GDI scales it straight from the buffer.
#include "app/win32/paint_win32.h"

#include <mutex>
#include <vector>

#include "app/shell_state.h"
#include "app/shell_state_win32.h"
#include "app/win32/win32_helpers.h"
#include "image/window_image.h"
#include "display/rasteriser.h"

namespace {

BITMAPINFO window_image_format() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image_width;
    info.bmiHeader.biHeight = -image_height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

void paint_display(HDC dc) {
    const SizePreset* preset = size_preset_info(app_settings.size_preset);
    if (preset == nullptr) return;
    {
        std::lock_guard lock(display_mutex);
        if (!display) return;
        lcd_render(*display);
        build_window_image(*display, scheme_colors(app_settings.color_scheme), window_pixels);
    }
    const BITMAPINFO info = window_image_format();
    SetStretchBltMode(dc, window_stretch_mode);
    StretchDIBits(dc, 0, 0, preset->image_cx, preset->image_cy, 0, 0, image_width, image_height,
                  window_pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void paint_main_window(HWND hwnd) {
    PaintSession paint(hwnd);
    if (paint.nothing_to_draw()) return;
    SetMapMode(paint.dc(), MM_TEXT);
    paint_display(paint.dc());
}
