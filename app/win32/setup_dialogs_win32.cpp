// The setup and port-selection dialogs: one handler per message and per
// button, dispatched by the two dialog procedures.
//
// The setup dialog keeps a snapshot of the port, scheme and size for
// "Cancel"; "Done" takes the scheme and size from the controls, saves the
// settings and has the main window resize and repaint. "Open I/F" / "Close
// I/F" open or close the serial link, which outlives the dialog. The port
// dialog lists the present COM ports 1..80; "OK" takes the selected entry,
// and with none selected the port stays as it was.
#include <cstdint>

#include "app/win32/resource_ids.h"
#include "app/settings.h"
#include "app/win32/setup_dialogs.h"
#include "app/shell_state.h"
#include "app/shell_state_win32.h"
#include "serial/com_link.h"

namespace {

constexpr int highest_listed_port = 80;
constexpr int size_preset_count = 4;
constexpr const char* size_preset_names[size_preset_count] = {"1X", "2X", "3X", "4X"};

void show_link_state(HWND hwnd) {
    const bool open = link_open.load() == 1;
    SetDlgItemTextA(hwnd, IDC_LINK_STATE, open ? "Qor Linked" : "Qor I/F Closed");
    SetDlgItemTextA(hwnd, IDC_OPEN_CLOSE, open ? "Close I/F" : "Open I/F");
}

void show_com_port(HWND hwnd) {
    char text[32];
    if (app_settings.com_port != 0) {
        wsprintfA(text, "Com Port: %d", static_cast<int>(app_settings.com_port));
    } else {
        wsprintfA(text, "Com Port: ?");
    }
    SetDlgItemTextA(hwnd, IDC_PORT_LABEL, text);
}

// ---- setup dialog ----

INT_PTR on_setup_init(HWND hwnd) {
    RECT frame;
    if (main_window != nullptr && GetWindowRect(main_window, &frame)) {
        window_x = frame.left;
        window_y = frame.top;
    }
    dialog_state.snapshot_com_port = app_settings.com_port;
    dialog_state.snapshot_color_scheme = app_settings.color_scheme;
    dialog_state.snapshot_size_preset = app_settings.size_preset;
    show_link_state(hwnd);
    show_com_port(hwnd);
    for (const char* name : size_preset_names) {
        SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(app_settings.size_preset) - 1, 0);
    CheckDlgButton(hwnd, app_settings.color_scheme != 0 ? IDC_SCHEME_GREEN : IDC_SCHEME_BLUE,
                   BST_CHECKED);
    return 1;
}

void on_set_port(HWND hwnd) {
    DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_PORT), hwnd, port_dialog_proc, 0);
    show_com_port(hwnd);
}

void on_open_close(HWND hwnd) {
    if (link_open.load() == 1) {
        com_close();
        SetDlgItemTextA(hwnd, IDC_OPEN_CLOSE, "Open I/F");
        SetDlgItemTextA(hwnd, IDC_LINK_STATE, "Qor I/F Closed");
        link_open = 0;
        return;
    }
    const int result = com_open(app_settings.com_port);
    if (result != com_ok) {
        SetDlgItemTextA(hwnd, IDC_LINK_STATE, open_failure_text(result));
        return;
    }
    link_open = 1;
    if (!com_start_reader()) {
        // A link without its reader would show nothing the device sends.
        com_close();
        link_open = 0;
        SetDlgItemTextA(hwnd, IDC_LINK_STATE, "Unknown Fail");
        return;
    }
    show_link_state(hwnd);
}

void on_setup_cancel(HWND hwnd) {
    app_settings.com_port = dialog_state.snapshot_com_port;
    app_settings.color_scheme = dialog_state.snapshot_color_scheme;
    app_settings.size_preset = dialog_state.snapshot_size_preset;
    EndDialog(hwnd, 1);
}

void on_done(HWND hwnd) {
    app_settings.color_scheme =
        SendDlgItemMessageA(hwnd, IDC_SCHEME_GREEN, BM_GETCHECK, 0, 0) != 0 ? 1 : 0;
    // A size box without a selection (its text edited) keeps the size.
    const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_SIZE_COMBO, CB_GETCURSEL, 0, 0);
    if (selection >= 0 && selection < size_preset_count) {
        app_settings.size_preset = static_cast<uint8_t>(selection + 1);
    }
    if (app_settings.color_scheme != dialog_state.snapshot_color_scheme ||
        (dialog_state.snapshot_size_preset | app_settings.size_preset) != 0) {
        settings_save();
        SendMessageA(main_window, WM_COMMAND, IDC_RESIZE, 0);
    }
    EndDialog(hwnd, 1);
    request_repaint();
}

// Only button clicks act: the whole wParam is compared, so notifications
// with a nonzero code (the size box's) are left alone.
INT_PTR on_setup_command(HWND hwnd, WPARAM wparam) {
    switch (wparam) {
        case IDC_SET_PORT:
            on_set_port(hwnd);
            return 1;
        case IDC_OPEN_CLOSE:
            on_open_close(hwnd);
            return 1;
        case IDC_SETUP_CANCEL:
            on_setup_cancel(hwnd);
            return 1;
        case IDC_DONE:
            on_done(hwnd);
            return 1;
        default:
            return 0;
    }
}

// ---- port-selection dialog ----

INT_PTR on_port_init(HWND hwnd) {
    dialog_state.port_selected = -1;
    dialog_state.port_count = 0;
    for (int port = 1; port <= highest_listed_port; ++port) {
        if (!com_probe_port(static_cast<uint8_t>(port))) continue;
        if (port == app_settings.com_port) dialog_state.port_selected = dialog_state.port_count;
        dialog_state.port_list[static_cast<size_t>(dialog_state.port_count)] = port;
        ++dialog_state.port_count;
        char name[16];
        wsprintfA(name, "com%d", port);
        SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(dialog_state.port_selected), 0);
    return 1;
}

void on_port_ok(HWND hwnd) {
    if (dialog_state.port_count == 0) {
        app_settings.com_port = 0;
    } else {
        // Only an entry of the list is taken; with none selected (or the
        // box's text edited) the port stays as it was.
        const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0);
        if (selection >= 0 && selection < dialog_state.port_count) {
            app_settings.com_port =
                static_cast<uint8_t>(dialog_state.port_list[static_cast<size_t>(selection)]);
        }
    }
    EndDialog(hwnd, 0);
}

INT_PTR on_port_command(HWND hwnd, WPARAM wparam) {
    switch (LOWORD(wparam)) {
        case IDOK:
            on_port_ok(hwnd);
            return 1;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void run_setup_dialog(HWND owner) {
    DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_SETUP), owner, setup_dialog_proc, 0);
}

const char* open_failure_text(int result) {
    switch (result) {
        case com_set_state_failed:
            return "Set State Fail";
        case com_get_state_failed:
            return "Get State Fail";
        case com_open_failed:
            return "Com Open Fail";
        default:
            return "Unknown Fail";
    }
}

INT_PTR CALLBACK setup_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return on_setup_init(hwnd);
        case WM_COMMAND:
            return on_setup_command(hwnd, wparam);
        case WM_CLOSE:
            EndDialog(hwnd, 1);
            return 1;
        default:
            return 0;
    }
}

INT_PTR CALLBACK port_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return on_port_init(hwnd);
        case WM_COMMAND:
            return on_port_command(hwnd, wparam);
        case WM_CLOSE:
            EndDialog(hwnd, 0);
            return 1;
        default:
            return 0;
    }
}
