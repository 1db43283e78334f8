// Painting of the main window: the controller's dot matrix as one stretched
// picture.
//
// A paint renders the controller and builds the 488 x 180 window image while
// holding display_mutex, releases it, and hands the image to a single
// StretchDIBits call that scales it to the size preset's image size at the
// client area's top-left corner. Nothing here requests a repaint.
#pragma once

#include <windows.h>

// The stretch mode of every scaling of the window image: whole dots are
// dropped or repeated, never blended.
inline constexpr int window_stretch_mode = COLORONCOLOR;

// The WM_PAINT handler: validates the update region and paints the display
// into it, unless the update rectangle is empty.
void paint_main_window(HWND hwnd);

// Renders `display` and draws its image into `dc` at (0, 0) in the image
// size of app_settings.size_preset, in the colours of
// app_settings.color_scheme. Draws nothing without a controller or for a
// preset outside 1..4. Takes display_mutex; the caller must not hold it.
void paint_display(HDC dc);
