// Painting of the main window: the session's dot matrix as one stretched
// picture.
//
// A paint renders the session's controller and builds the 488 x 180 window
// image in the caller's buffer while the session holds its lock, and hands
// the image to a single StretchDIBits call, after the lock is released, that
// scales it to the size preset's image size at the client area's top-left
// corner. Nothing here requests a repaint.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/settings.h"
#include "protocol/display_session.h"

// The stretch mode of every scaling of the window image: whole dots are
// dropped or repeated, never blended.
inline constexpr int window_stretch_mode = COLORONCOLOR;

// The WM_PAINT handler: validates the update region and paints the display
// into it, unless the update rectangle is empty.
void paint_main_window(HWND hwnd, DisplaySession& session, const AppSettings& settings,
                       std::vector<uint32_t>& pixels);

// Renders the session's controller and draws its image into `dc` at (0, 0)
// in the image size of settings.size_preset, in the colours of
// settings.color_scheme, building the image in `pixels`. Draws nothing
// without a controller or for a preset outside 1..4. Takes the session's
// lock; the caller must not hold it.
void paint_display(HDC dc, DisplaySession& session, const AppSettings& settings,
                   std::vector<uint32_t>& pixels);
