// The main window's class, creation and window procedure: one handler per
// message, dispatched by main_window_proc.
//
// Threads: everything here runs on the main thread. The serial reader thread
// edits the display through the interpreter and asks for repaints with
// redraw_main_window, which waits until this thread has painted; so when
// this thread waits for the reader (link closing, window destruction) it
// serves sent messages meanwhile.
#include <cstdint>

#include "app/win32/main_window.h"
#include "app/win32/paint_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/setup_dialogs.h"
#include "app/shell_state.h"
#include "app/shell_state_win32.h"
#include "image/window_image.h"
#include "keyboard/key_translation.h"
#include "serial/com_link.h"

namespace {

LRESULT on_create(HWND hwnd) {
    window_x = 50;
    window_y = 50;
    main_window = hwnd;
    link_open = 0;
    set_repaint_hook(redraw_main_window);
    if (!shell_create_display()) return -1;  // CreateWindowExA fails
    resize_main_window(hwnd);
    SetTimer(hwnd, ID_MAIN_TIMER, main_timer_period_ms, nullptr);
    return 0;
}

// The controller may go only once the reader can no longer hand a byte to
// the interpreter: an open link is closed, which returns after the reader
// has ended (serving its pending repaint meanwhile).
void stop_reader() {
    reader_running = 0;
    if (link_open.load() != 1) return;
    com_close();
    link_open = 0;
}

LRESULT on_destroy(HWND hwnd) {
    stop_reader();
    shell_destroy_display();
    KillTimer(hwnd, ID_MAIN_TIMER);
    set_repaint_hook(nullptr);
    main_window = nullptr;
    PostQuitMessage(0);
    return 1;
}

LRESULT on_key_down(WPARAM vk) {
    return translate_key_down(static_cast<uint8_t>(vk)) ? 1 : 0;
}
LRESULT on_key_up(WPARAM vk) {
    return translate_key_up(static_cast<uint8_t>(vk)) ? 1 : 0;
}

LRESULT on_sys_key_down(WPARAM vk) {
    translate_sys_key_down(static_cast<uint8_t>(vk));
    return 1;
}

LRESULT on_sys_key_up(WPARAM vk) {
    translate_sys_key_up(static_cast<uint8_t>(vk));
    return 1;
}

LRESULT on_command(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    switch (LOWORD(wparam)) {
        case IDC_RESIZE:
            resize_main_window(hwnd);
            return 1;
        case IDM_ABOUT:
            run_setup_dialog(hwnd);
            return 1;
        default:
            return DefWindowProcA(hwnd, WM_COMMAND, wparam, lparam);
    }
}

LRESULT on_right_button(HWND hwnd) {
    run_setup_dialog(hwnd);
    return 1;
}

}  // namespace

bool register_main_window_class(HINSTANCE instance) {
    WNDCLASSA window_class{};
    window_class.style = main_window_class_style;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The class keeps the brush for the life of the process.
    window_class.hbrBackground =
        CreateSolidBrush(class_background_color(app_settings.color_scheme));
    window_class.lpszClassName = main_window_class_name;
    return RegisterClassA(&window_class) != 0;
}

HWND create_main_window(HINSTANCE instance) {
    return CreateWindowExA(0, main_window_class_name, main_window_title, main_window_style, 0, 0,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return on_create(hwnd);
        case WM_DESTROY:
            return on_destroy(hwnd);
        case WM_PAINT:
            paint_main_window(hwnd);
            return 1;
        case WM_KEYDOWN:
            return on_key_down(wparam);
        case WM_KEYUP:
            return on_key_up(wparam);
        case WM_CHAR:
            return 1;
        case WM_SYSKEYDOWN:
            return on_sys_key_down(wparam);
        case WM_SYSKEYUP:
            return on_sys_key_up(wparam);
        case WM_COMMAND:
            return on_command(hwnd, wparam, lparam);
        case WM_TIMER:
            on_timer(hwnd);
            return 1;
        case WM_RBUTTONDOWN:
            return on_right_button(hwnd);
        default:
            return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

void resize_main_window(HWND hwnd) {
    const SizePreset* preset = size_preset_info(app_settings.size_preset);
    if (preset == nullptr) return;
    SetWindowPos(hwnd, HWND_TOPMOST, window_x, window_y, preset->window_cx, preset->window_cy,
                 SWP_SHOWWINDOW);
}

void on_timer(HWND) {
    shell_on_timer();
}

void redraw_main_window() {
    if (HWND window = main_window) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}
