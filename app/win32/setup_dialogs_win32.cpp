// The setup and port-selection dialogs: one handler per message and per
// button, dispatched by the two dialog procedures to the dialog's state.
//
// The setup dialog keeps a snapshot of the port, scheme and size for
// "Cancel"; "Done" takes the scheme and size from the controls, saves the
// settings and has the main window resize and repaint. "Open I/F" / "Close
// I/F" open or close the window's serial link, which outlives the dialog.
// While the link is open, a 250 ms timer shows the link's state as it
// changes: lost when the port vanished, linked again when the link has
// reopened it by itself.
// The port dialog lists the present COM ports 1..80; "OK" takes the
// selected entry, and with none selected the port stays as it was.
#include <cstdint>

#include "app/settings.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/settings_file.h"
#include "app/win32/setup_dialogs.h"
#include "link/port_list_win32.h"

namespace {

constexpr int highest_listed_port = 80;
constexpr int size_preset_count = 4;
constexpr const char* size_preset_names[size_preset_count] = {"1X", "2X", "3X", "4X"};

// The dialog's state, kept in DWLP_USER from WM_INITDIALOG on; null before.
template <class State>
State* dialog_state(HWND hwnd) {
    return reinterpret_cast<State*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

template <class State>
State& keep_dialog_state(HWND hwnd, LPARAM lparam) {
    SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    return *reinterpret_cast<State*>(lparam);
}

constexpr UINT link_state_period_ms = 250;

void show_link_state(HWND hwnd, SetupDialogState& state) {
    const MainWindow& window = state.window;
    state.shown_link_state = window.panel.link_state();
    SetDlgItemTextA(hwnd, IDC_LINK_STATE, link_state_text(window));
    SetDlgItemTextA(hwnd, IDC_OPEN_CLOSE, main_window_linked(window) ? "Close I/F" : "Open I/F");
}

void show_com_port(HWND hwnd, const AppSettings& settings) {
    char text[32];
    if (settings.com_port != 0) {
        wsprintfA(text, "Com Port: %d", static_cast<int>(settings.com_port));
    } else {
        wsprintfA(text, "Com Port: ?");
    }
    SetDlgItemTextA(hwnd, IDC_PORT_LABEL, text);
}

// ---- setup dialog ----

INT_PTR on_setup_init(HWND hwnd, SetupDialogState& state) {
    MainWindow& window = state.window;
    RECT frame;
    const HWND main = window.hwnd.load();
    if (main != nullptr && GetWindowRect(main, &frame)) {
        window.window_x = frame.left;
        window.window_y = frame.top;
    }
    const AppSettings& settings = window.settings;
    state.snapshot_com_port = settings.com_port;
    state.snapshot_color_scheme = settings.color_scheme;
    state.snapshot_size_preset = settings.size_preset;
    show_link_state(hwnd, state);
    SetTimer(hwnd, ID_LINK_STATE_TIMER, link_state_period_ms, nullptr);
    show_com_port(hwnd, settings);
    for (const char* name : size_preset_names) {
        SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(settings.size_preset) - 1, 0);
    CheckDlgButton(hwnd, settings.color_scheme != 0 ? IDC_SCHEME_GREEN : IDC_SCHEME_BLUE,
                   BST_CHECKED);
    return 1;
}

void on_set_port(HWND hwnd, MainWindow& window) {
    PortDialogState ports{window.settings.com_port};
    DialogBoxParamA(window.instance, MAKEINTRESOURCEA(IDD_PORT), hwnd, port_dialog_proc,
                    reinterpret_cast<LPARAM>(&ports));
    show_com_port(hwnd, window.settings);
}

void on_open_close(HWND hwnd, SetupDialogState& state) {
    MainWindow& window = state.window;
    if (main_window_linked(window)) {
        unlink_main_window(window);
        show_link_state(hwnd, state);
        return;
    }
    if (const char* failure = link_main_window(window)) {
        SetDlgItemTextA(hwnd, IDC_LINK_STATE, failure);
        return;
    }
    show_link_state(hwnd, state);
}

// Shows a change of the open link's state; a closed link's text (which may
// tell why an opening failed) stays until the user acts.
void on_link_state_timer(HWND hwnd, SetupDialogState& state) {
    if (main_window_linked(state.window) &&
        state.window.panel.link_state() != state.shown_link_state) {
        show_link_state(hwnd, state);
    }
}

void on_setup_cancel(HWND hwnd, const SetupDialogState& state) {
    AppSettings& settings = state.window.settings;
    settings.com_port = state.snapshot_com_port;
    settings.color_scheme = state.snapshot_color_scheme;
    settings.size_preset = state.snapshot_size_preset;
    EndDialog(hwnd, 1);
}

void on_done(HWND hwnd, const SetupDialogState& state) {
    MainWindow& window = state.window;
    AppSettings& settings = window.settings;
    settings.color_scheme =
        SendDlgItemMessageA(hwnd, IDC_SCHEME_GREEN, BM_GETCHECK, 0, 0) != 0 ? 1 : 0;
    // A size box without a selection (its text edited) keeps the size.
    const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_GETCURSEL, 0, 0);
    if (selection >= 0 && selection < size_preset_count) {
        settings.size_preset = static_cast<uint8_t>(selection + 1);
    }
    const HWND main = window.hwnd.load();
    if (settings.color_scheme != state.snapshot_color_scheme ||
        (state.snapshot_size_preset | settings.size_preset) != 0) {
        settings_save(settings, window.settings_path);
        SendMessageA(main, WM_COMMAND, IDC_RESIZE, 0);
    }
    EndDialog(hwnd, 1);
    if (main != nullptr) redraw_main_window(main);
}

// Only button clicks act: the whole wParam is compared, so notifications
// with a nonzero code (the size box's) are left alone.
INT_PTR on_setup_command(HWND hwnd, SetupDialogState& state, WPARAM wparam) {
    switch (wparam) {
        case IDC_SET_PORT:
            on_set_port(hwnd, state.window);
            return 1;
        case IDC_OPEN_CLOSE:
            on_open_close(hwnd, state);
            return 1;
        case IDC_SETUP_CANCEL:
            on_setup_cancel(hwnd, state);
            return 1;
        case IDC_DONE:
            on_done(hwnd, state);
            return 1;
        default:
            return 0;
    }
}

// ---- port-selection dialog ----

INT_PTR on_port_init(HWND hwnd, PortDialogState& state) {
    state.port_selected = -1;
    state.port_count = 0;
    for (int port = 1; port <= highest_listed_port; ++port) {
        if (!com_port_present(static_cast<uint8_t>(port))) continue;
        if (port == state.com_port) state.port_selected = state.port_count;
        state.port_list[static_cast<size_t>(state.port_count)] = port;
        ++state.port_count;
        char name[16];
        wsprintfA(name, "com%d", port);
        SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(state.port_selected), 0);
    return 1;
}

void on_port_ok(HWND hwnd, PortDialogState& state) {
    if (state.port_count == 0) {
        state.com_port = 0;
    } else {
        // Only an entry of the list is taken; with none selected (or the
        // box's text edited) the port stays as it was.
        const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0);
        if (selection >= 0 && selection < state.port_count) {
            state.com_port = static_cast<uint8_t>(state.port_list[static_cast<size_t>(selection)]);
        }
    }
    EndDialog(hwnd, 0);
}

INT_PTR on_port_command(HWND hwnd, PortDialogState& state, WPARAM wparam) {
    switch (LOWORD(wparam)) {
        case IDOK:
            on_port_ok(hwnd, state);
            return 1;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void run_setup_dialog(MainWindow& window) {
    SetupDialogState state{window};
    DialogBoxParamA(window.instance, MAKEINTRESOURCEA(IDD_SETUP), window.hwnd.load(),
                    setup_dialog_proc, reinterpret_cast<LPARAM>(&state));
}

const char* open_failure_text(LinkResult result) {
    switch (result) {
        case LinkResult::cannot_configure:
            return "Set State Fail";
        case LinkResult::cannot_read_settings:
            return "Get State Fail";
        case LinkResult::not_found:
        case LinkResult::permission_denied:
        case LinkResult::busy:
        case LinkResult::not_a_serial_port:
        case LinkResult::bad_target:
            return "Com Open Fail";
        default:
            return "Unknown Fail";
    }
}

INT_PTR CALLBACK setup_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG)
        return on_setup_init(hwnd, keep_dialog_state<SetupDialogState>(hwnd, lparam));
    if (message == WM_CLOSE) {
        EndDialog(hwnd, 1);
        return 1;
    }
    SetupDialogState* state = dialog_state<SetupDialogState>(hwnd);
    if (state == nullptr) return 0;
    if (message == WM_COMMAND) return on_setup_command(hwnd, *state, wparam);
    if (message == WM_TIMER && wparam == ID_LINK_STATE_TIMER) {
        on_link_state_timer(hwnd, *state);
        return 1;
    }
    return 0;
}

INT_PTR CALLBACK port_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG)
        return on_port_init(hwnd, keep_dialog_state<PortDialogState>(hwnd, lparam));
    if (message == WM_CLOSE) {
        EndDialog(hwnd, 0);
        return 1;
    }
    PortDialogState* state = dialog_state<PortDialogState>(hwnd);
    if (message == WM_COMMAND && state != nullptr) return on_port_command(hwnd, *state, wparam);
    return 0;
}
