// The Windows-only single instances of the program: the instance and window
// handles, the serial link's handles and the painter's picture buffer.
// Declared here, beside the portable ones of shell_state.h.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

extern HINSTANCE app_instance;
extern HWND main_window;
// The open port, or null. Read anew by every transfer on either thread.
extern std::atomic<HANDLE> com_handle;
// The reader thread of the open link, or null.
extern HANDLE reader_thread_handle;
// The picture of the last paint, reused so that a paint allocates nothing.
// Main thread only.
extern std::vector<uint32_t> window_pixels;
