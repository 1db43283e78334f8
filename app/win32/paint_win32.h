// Painting of the main window: the session's dot matrix as one stretched
// picture, and the window's sizes on screens of any pixel density.
//
// A paint renders the session's controller and builds the 488 x 180 window
// image in the caller's buffer while the session holds its lock, and hands
// the image to a single StretchDIBits call, after the lock is released, that
// scales it to the size preset's image size at the client area's top-left
// corner. Nothing here requests a repaint.
//
// Pixel density: the program declares itself aware of each monitor's DPI
// (its manifest), so Windows does not stretch the window as a bitmap; the
// preset's window and image sizes are instead scaled by the window's DPI /
// 96, and the image is stretched once, whole dots repeated, so the dots
// stay square and sharp at the same physical size. At 96 DPI the sizes are
// the presets' own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/settings.h"
#include "image/window_image.h"
#include "panel/remote_panel.h"

// The stretch mode of every scaling of the window image: whole dots are
// dropped or repeated, never blended.
inline constexpr int window_stretch_mode = COLORONCOLOR;

// The density the size presets are given for.
inline constexpr UINT unscaled_dpi = 96;

// The DPI of the monitor the window is on: GetDpiForWindow where the system
// has it (looked up at run time, so that the program still starts on
// systems without it), else the screen's, else 96.
UINT window_dpi(HWND hwnd);
// The preset's window and image sizes at `dpi`: each multiplied by dpi / 96
// and rounded to the nearest pixel.
SizePreset scale_size_preset(const SizePreset& preset, UINT dpi);

// The WM_PAINT handler: validates the update region and paints the display
// into it at `dpi`, unless the update rectangle is empty.
void paint_main_window(HWND hwnd, RemotePanel& panel, const AppSettings& settings,
                       std::vector<uint32_t>& pixels, UINT dpi);

// Renders the panel's display and draws its image into `dc` at (0, 0)
// in the image size of settings.size_preset scaled to `dpi`, in the colours
// of settings.color_scheme, building the image in `pixels`. Draws nothing
// without a controller or for a preset outside 1..4. Takes the panel's
// session lock; the caller must not hold it.
void paint_display(HDC dc, RemotePanel& panel, const AppSettings& settings,
                   std::vector<uint32_t>& pixels, UINT dpi = unscaled_dpi);
