// The program's entry point: common controls, settings, the main window and
// the message loop. Exit code 1 when the window class or the window (with
// its display controller) cannot be created.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "app/win32/main_window.h"
#include "app/settings.h"
#include "app/shell_state_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    app_instance = instance;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    settings_path_init();
    settings_load();

    if (!register_main_window_class(instance)) return 1;
    HWND window = create_main_window(instance);
    if (window == nullptr) return 1;
    ShowWindow(window, show_command);
    UpdateWindow(window);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
