// The Windows-only single instances: the program's instance and main window,
// the serial link's port and reader-thread handles, and the paint buffer.
#include "app/shell_state_win32.h"

HINSTANCE app_instance = nullptr;
HWND main_window = nullptr;
std::atomic<HANDLE> com_handle{nullptr};
HANDLE reader_thread_handle = nullptr;
std::vector<uint32_t> window_pixels;
