// The setup dialog (colour scheme, size, COM port, opening and closing the
// link) and the port-selection dialog that it opens. Both are modal and run
// on the main thread. Each gets its state through the lParam of
// DialogBoxParamA (kept in DWLP_USER while it is open): the setup dialog the
// main window's state and the snapshot that "Cancel" restores, the port
// dialog the setting it chooses and the list it shows.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "panel/remote_panel.h"

struct MainWindow;

// The setup dialog's state while it is open.
struct SetupDialogState {
    MainWindow& window;
    // The settings when the dialog opened.
    uint8_t snapshot_com_port = 0;
    int32_t snapshot_color_scheme = 0;
    uint8_t snapshot_size_preset = 0;
    // The link state that the link-state text shows.
    LinkState shown_link_state = LinkState::closed;
};

// The port-selection dialog's state while it is open.
struct PortDialogState {
    // The chosen port, changed by "OK".
    uint8_t& com_port;
    // The listed ports in list order, and the entry of com_port (or -1).
    std::array<int32_t, 80> port_list{};
    int32_t port_count = 0;
    int32_t port_selected = -1;
};

// Runs the setup dialog for `window`, owned by it, until it ends.
void run_setup_dialog(MainWindow& window);

// lParam of WM_INITDIALOG: a SetupDialogState.
INT_PTR CALLBACK setup_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// lParam of WM_INITDIALOG: a PortDialogState.
INT_PTR CALLBACK port_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// The link-state text for a failed opening.
const char* open_failure_text(LinkResult result);
