// The setup dialog (colour scheme, size, COM port, opening and closing the
// link) and the port-selection dialog that it opens. Both are modal and run
// on the main thread; their state between messages is dialog_state.
#pragma once

#include <windows.h>

// Runs the setup dialog, owned by `owner`, until it ends.
void run_setup_dialog(HWND owner);

INT_PTR CALLBACK setup_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK port_dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// The link-state text for a failed com_open result.
const char* open_failure_text(int result);
