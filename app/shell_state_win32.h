// The Windows-only single instances of the program: the instance and window
// handles and the serial link's handles. Declared here, beside the portable
// ones of shell_state.h, and reset with them for tests.
#pragma once

#include <windows.h>

#include <atomic>

extern HINSTANCE app_instance;
extern HWND main_window;
// The open port, or null. Read anew by every transfer on either thread.
extern std::atomic<HANDLE> com_handle;
// The reader thread of the open link, or null.
extern HANDLE reader_thread_handle;
