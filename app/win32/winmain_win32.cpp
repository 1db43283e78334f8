// The program's entry point: common controls, the main window's state with
// its settings, the main window, the link to a port given on the command
// line, and the message loop that serves the window's panel
// (run_main_window_loop). Everything the program keeps lives in that
// state, which lives as long as WinMain. Exit code 1 when the window class
// or the window (with its display controller) cannot be created.
//
// `zezodavoru.exe 5` opens COM5 once the window shows, as "Open I/F" would
// with port 5 chosen (the choice is saved only if the user presses "Done").
// An argument that is not a port number 1..255 is ignored, and a port that
// does not open leaves the link closed, as the setup dialog then shows.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "app/win32/main_window.h"
#include "app/win32/settings_file.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    MainWindow window(instance);
    window.settings_path = settings_path_init();
    settings_load(window.settings, window.settings_path);

    if (!register_main_window_class(instance, window.settings.color_scheme)) return 1;
    HWND hwnd = create_main_window(window);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show_command);
    UpdateWindow(hwnd);
    if (const auto port = command_line_port(command_line)) {
        window.settings.com_port = *port;
        link_main_window(window);
    }

    return run_main_window_loop(window);
}
