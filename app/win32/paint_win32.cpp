// Painting of the main window. The dot matrix becomes a 488 x 180 picture in
// memory (build_window_image) and reaches the screen in one StretchDIBits
// call: the picture is a 32-bit top-down DIB whose pixels are already in the
// DIB's blue-green-red order, so GDI scales it straight from the buffer.
#include "app/win32/paint_win32.h"

#include "app/win32/win32_helpers.h"
#include "display/lcd_controller.h"
#include "image/window_image.h"

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

void paint_display(HDC dc, DisplaySession& session, const AppSettings& settings,
                   std::vector<uint32_t>& pixels) {
    const SizePreset* preset = size_preset_info(settings.size_preset);
    if (preset == nullptr) return;
    const SchemeColors colors = scheme_colors(settings.color_scheme);
    const bool rendered = session.render(
        [&](const LcdController& display) { build_window_image(display, colors, pixels); });
    if (!rendered) return;
    const BITMAPINFO info = window_image_format();
    SetStretchBltMode(dc, window_stretch_mode);
    StretchDIBits(dc, 0, 0, preset->image_cx, preset->image_cy, 0, 0, image_width, image_height,
                  pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void paint_main_window(HWND hwnd, DisplaySession& session, const AppSettings& settings,
                       std::vector<uint32_t>& pixels) {
    PaintSession paint(hwnd);
    if (paint.nothing_to_draw()) return;
    SetMapMode(paint.dc(), MM_TEXT);
    paint_display(paint.dc(), session, settings, pixels);
}
