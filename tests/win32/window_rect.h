// A window's place and size on the screen, for the Win32 tests.
#pragma once

#include <windows.h>

struct WindowRect {
    LONG x, y, width, height;
};

inline WindowRect window_rect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
