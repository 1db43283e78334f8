// Painting of the main window. The dot matrix becomes a 488 x 180 picture in
// memory (build_window_image) and reaches the screen in one StretchDIBits
// call: the picture is a 32-bit top-down DIB whose pixels are already in the
// DIB's blue-green-red order, so GDI scales it straight from the buffer.
// The DPI functions of newer systems are looked up in user32 when needed
// rather than imported, so the program imports only what every supported
// Windows has.
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

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

int32_t scale(int32_t size, UINT dpi) {
    return MulDiv(size, static_cast<int>(dpi), static_cast<int>(unscaled_dpi));
}

}  // namespace

UINT window_dpi(HWND hwnd) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    const FARPROC found = user32 != nullptr ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
    if (found != nullptr) {
        // Through the one function type that any other converts to.
        const auto get_dpi =
            reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
        if (const UINT dpi = get_dpi(hwnd); dpi != 0) return dpi;
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : unscaled_dpi;
}

SizePreset scale_size_preset(const SizePreset& preset, UINT dpi) {
    return {scale(preset.window_cx, dpi), scale(preset.window_cy, dpi), scale(preset.image_cx, dpi),
            scale(preset.image_cy, dpi)};
}

void paint_display(HDC dc, RemotePanel& panel, const AppSettings& settings,
                   std::vector<uint32_t>& pixels, UINT dpi) {
    const SizePreset* found = size_preset_info(settings.size_preset);
    if (found == nullptr) return;
    const SizePreset size = scale_size_preset(*found, dpi);
    const SchemeColors colors = scheme_colors(settings.color_scheme);
    const bool rendered = panel.render(
        [&](const LcdController& display) { build_window_image(display, colors, pixels); });
    if (!rendered) return;
    const BITMAPINFO info = window_image_format();
    SetStretchBltMode(dc, window_stretch_mode);
    StretchDIBits(dc, 0, 0, size.image_cx, size.image_cy, 0, 0, image_width, image_height,
                  pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void paint_main_window(HWND hwnd, RemotePanel& panel, const AppSettings& settings,
                       std::vector<uint32_t>& pixels, UINT dpi) {
    PaintSession paint(hwnd);
    if (paint.nothing_to_draw()) return;
    SetMapMode(paint.dc(), MM_TEXT);
    paint_display(paint.dc(), panel, settings, pixels, dpi);
}
