// The per-dot painter: the window image drawn one 4 x 4 square per dot with
// FillRect into a 488 x 180 bitmap compatible with the target, then
// stretched with StretchBlt. It is the reference that the program's painter
// (one StretchDIBits of an image built in memory) is checked against and
// measured against; the program itself does not use it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/settings.h"
#include "protocol/display_session.h"

// Fills the 4 x 4 square whose top-left pixel is (4x, 4y).
void draw_dot(HDC dc, int32_t x, int32_t y, HBRUSH brush);

// Same contract as paint_display: renders the session's controller under
// its lock and draws its image into `dc` at (0, 0) in the size preset's
// image size.
void paint_display_per_dot(HDC dc, DisplaySession& session, const AppSettings& settings);
