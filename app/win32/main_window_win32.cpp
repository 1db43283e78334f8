// The main window's state, class, creation and window procedure: one
// handler per message, dispatched by main_window_proc to the window's
// MainWindow.
//
// Threads: everything here runs on the main thread, the panel's service
// included; a thread of the link's own only posts panel_wake_message.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include "app/win32/main_window.h"
#include "app/win32/paint_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/session_commands.h"
#include "app/win32/setup_dialogs.h"
#include "image/window_image.h"
#include "keyboard/key_translation_win32.h"
#include "link/decimal.h"

MainWindow::MainWindow(HINSTANCE module)
    : instance(module),
      panel({[this] {
                 if (const HWND window = hwnd.load()) redraw_main_window(window);
             },
             nullptr,
             [this] {
                 // Coalesced: one wake in the queue serves all that came.
                 if (wake_posted.exchange(true)) return;
                 const HWND window = hwnd.load();
                 if (window == nullptr || !PostMessageA(window, panel_wake_message, 0, 0))
                     wake_posted = false;
             }}) {
    panel.set_tap(recorder.tap());
}

MainWindow::~MainWindow() {
    if (const HWND window = hwnd.load()) DestroyWindow(window);
}

namespace {

LRESULT on_create(MainWindow& window, HWND hwnd) {
    window.window_x = 50;
    window.window_y = 50;
    window.hwnd = hwnd;
    window.dpi = window_dpi(hwnd);
    if (!window.panel.start()) return -1;  // CreateWindowExA fails
    resize_main_window(window);
    add_session_commands(hwnd);
    serve_main_window(window);
    return 0;
}

// The link is closed before the session stops (its reader thread has ended
// when the close returns).
LRESULT on_destroy(MainWindow& window, HWND hwnd) {
    window.panel.stop();
    KillTimer(hwnd, ID_MAIN_TIMER);
    window.hwnd = nullptr;
    PostQuitMessage(0);
    return 1;
}

// Sends the key's code while the link is open (its write result is of no
// interest to the keyboard); the translator's chord follows the keys either
// way, and nothing is queued while the link is closed or a recording plays.
KeyResult deliver(MainWindow& window, KeyResult result) {
    if (result.code == 0) return result;
    // A recording played back takes no keys.
    if (const Link* link = window.panel.link(); link != nullptr && link->plays_ticks()) {
        return result;
    }
    window.panel.send(result.code);
    // A code the line did not take at once has a write limit to keep.
    serve_main_window(window);
    return result;
}

LRESULT on_key_down(MainWindow& window, WPARAM vk) {
    const KeyResult result = translate_key_down(window.panel.keys(), static_cast<uint8_t>(vk));
    return deliver(window, result).handled ? 1 : 0;
}

LRESULT on_key_up(MainWindow& window, WPARAM vk) {
    const KeyResult result = translate_key_up(window.panel.keys(), static_cast<uint8_t>(vk));
    return deliver(window, result).handled ? 1 : 0;
}

LRESULT on_sys_key_down(MainWindow& window, WPARAM vk) {
    deliver(window, translate_sys_key_down(window.panel.keys(), static_cast<uint8_t>(vk)));
    return 1;
}

LRESULT on_sys_key_up(MainWindow& window, WPARAM vk) {
    deliver(window, translate_sys_key_up(window.panel.keys(), static_cast<uint8_t>(vk)));
    return 1;
}

LRESULT on_command(MainWindow& window, HWND hwnd, WPARAM wparam, LPARAM lparam) {
    switch (LOWORD(wparam)) {
        case IDC_RESIZE:
            resize_main_window(window);
            return 1;
        case IDM_ABOUT:
            run_setup_dialog(window);
            return 1;
        default:
            return DefWindowProcA(hwnd, WM_COMMAND, wparam, lparam);
    }
}

// The window moved to a monitor of another DPI (or the DPI changed): the
// system's suggested rectangle keeps the window's physical size there.
LRESULT on_dpi_changed(MainWindow& window, HWND hwnd, WPARAM wparam, LPARAM lparam) {
    window.dpi = HIWORD(wparam);
    const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
    window.window_x = suggested.left;
    window.window_y = suggested.top;
    SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

LRESULT on_sys_command(MainWindow& window, HWND hwnd, WPARAM wparam, LPARAM lparam) {
    if (run_session_command(window, wparam)) return 0;
    return DefWindowProcA(hwnd, WM_SYSCOMMAND, wparam, lparam);
}

LRESULT on_right_button(MainWindow& window) {
    run_setup_dialog(window);
    return 1;
}

// The window's state: stored from the creation parameter at the first
// message that carries it, forgotten at the last message.
MainWindow* state_for(HWND hwnd, UINT message, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* window =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        return window;
    }
    MainWindow* window = main_window_of(hwnd);
    if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return window;
}

}  // namespace

MainWindow* main_window_of(HWND hwnd) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

bool register_main_window_class(HINSTANCE instance, int32_t color_scheme) {
    WNDCLASSA window_class{};
    window_class.style = main_window_class_style;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The class keeps the brush for the life of the process.
    window_class.hbrBackground = CreateSolidBrush(class_background_color(color_scheme));
    window_class.lpszClassName = main_window_class_name;
    return RegisterClassA(&window_class) != 0;
}

HWND create_main_window(MainWindow& window) {
    return CreateWindowExA(0, main_window_class_name, main_window_title, main_window_style, 0, 0,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, window.instance,
                           &window);
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    MainWindow* const state = state_for(hwnd, message, lparam);
    if (state == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
    MainWindow& window = *state;
    switch (message) {
        case WM_CREATE:
            return on_create(window, hwnd);
        case WM_DESTROY:
            return on_destroy(window, hwnd);
        case WM_PAINT:
            paint_main_window(hwnd, window.panel, window.settings, window.pixels, window.dpi);
            return 1;
        case WM_DPICHANGED:
            return on_dpi_changed(window, hwnd, wparam, lparam);
        case WM_KEYDOWN:
            return on_key_down(window, wparam);
        case WM_KEYUP:
            return on_key_up(window, wparam);
        case WM_CHAR:
            return 1;
        case WM_SYSKEYDOWN:
            return on_sys_key_down(window, wparam);
        case WM_SYSKEYUP:
            return on_sys_key_up(window, wparam);
        case WM_COMMAND:
            return on_command(window, hwnd, wparam, lparam);
        case WM_SYSCOMMAND:
            return on_sys_command(window, hwnd, wparam, lparam);
        case WM_TIMER:
            serve_main_window(window);
            return 1;
        case WM_RBUTTONDOWN:
            return on_right_button(window);
        case panel_wake_message:
            window.wake_posted = false;
            serve_main_window(window);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

void resize_main_window(MainWindow& window) {
    const SizePreset* preset = size_preset_info(window.settings.size_preset);
    if (preset == nullptr) return;
    const SizePreset size = scale_size_preset(*preset, window.dpi);
    SetWindowPos(window.hwnd.load(), HWND_TOPMOST, window.window_x, window.window_y, size.window_cx,
                 size.window_cy, SWP_SHOWWINDOW);
}

void serve_main_window(MainWindow& window) {
    window.panel.service(LinkClock::now());
    const HWND hwnd = window.hwnd.load();
    if (hwnd == nullptr) return;
    const std::optional<LinkClock::time_point> wake = window.panel.watch().wake;
    if (wake) {
        SetTimer(hwnd, ID_MAIN_TIMER, static_cast<UINT>(milliseconds_until(*wake)), nullptr);
    } else {
        KillTimer(hwnd, ID_MAIN_TIMER);
    }
    check_recording(window);
}

int run_main_window_loop(MainWindow& window) {
    MSG message{};
    for (;;) {
        const LinkWatch watch = window.panel.watch();
        std::array<HANDLE, std::tuple_size_v<decltype(watch.handles)>> handles{};
        DWORD count = 0;
        for (const LinkHandle handle : watch.handles) {
            if (handle != nullptr) handles[count++] = static_cast<HANDLE>(handle);
        }
        const int32_t wait = watch_timeout(watch);
        const DWORD timeout = wait < 0 ? INFINITE : static_cast<DWORD>(wait);
        // MWMO_INPUTAVAILABLE: messages already in the queue end the wait
        // at once too, not only those that came after the last look.
        const DWORD woke = MsgWaitForMultipleObjectsEx(count, handles.data(), timeout, QS_ALLINPUT,
                                                       MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + count) serve_main_window(window);
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

const char* link_main_window(MainWindow& window) {
    unlink_main_window(window);
    const LinkResult result = window.panel.open("COM" + std::to_string(window.settings.com_port));
    serve_main_window(window);
    return result == LinkResult::ok ? nullptr : open_failure_text(result);
}

void unlink_main_window(MainWindow& window) {
    window.panel.close();
    serve_main_window(window);
}

bool main_window_linked(const MainWindow& window) {
    return window.panel.link_state() != LinkState::closed;
}

const char* link_state_text(const MainWindow& window) {
    switch (window.panel.link_state()) {
        case LinkState::closed:
            return "Qor I/F Closed";
        case LinkState::lost:
            return "Qor Link Lost";
        case LinkState::linked:
            break;
    }
    return "Qor Linked";
}

std::optional<uint8_t> command_line_port(const char* command_line) {
    if (command_line == nullptr) return std::nullopt;
    const std::string_view spaces = " \t";
    std::string_view text(command_line);
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(spaces)));
    text.remove_suffix(text.size() - std::min(text.size(), text.find_last_not_of(spaces) + 1));
    if (text.size() > 3) return std::nullopt;
    const std::optional<uint32_t> port = decimal_number(text, 255, LeadingZeros::allowed);
    if (!port || *port < 1) return std::nullopt;
    return static_cast<uint8_t>(*port);
}

void redraw_main_window(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}
