// The main window: a small, always-on-top, fixed-size window whose client
// area is the emulated display.
//
// Window creation builds the display controller and its idle screen, places
// the window at (window_x, window_y) in the size preset's size and starts the
// 100 ms timer that drives the flash-text expiry and the blink clock. Keys go
// to the key code translation; a right click or command 6001 opens the setup
// dialog; command 4567 re-applies the size preset. Destruction stops the
// serial reader before the controller goes.
#pragma once

#include <windows.h>

inline constexpr char main_window_class_name[] = "VorivevoRuvid";
inline constexpr char main_window_title[] = "Zezodavoru 1.1";
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX: a fixed-size window.
inline constexpr DWORD main_window_style = 0x00CA0000;
// CS_VREDRAW | CS_HREDRAW | CS_OWNDC.
inline constexpr UINT main_window_class_style = 0x23;
inline constexpr UINT main_timer_period_ms = 100;

// Registers the window class with the icon, the arrow cursor and the
// background of app_settings.color_scheme (chosen once, here). False on
// failure.
bool register_main_window_class(HINSTANCE instance);
// Creates the main window (running its creation sequence); null on failure,
// including a display controller that could not be created.
HWND create_main_window(HINSTANCE instance);

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Applies app_settings.size_preset: for 1..4 the window goes on top of all
// others at (window_x, window_y) with the preset's size; otherwise nothing.
void resize_main_window(HWND hwnd);

// The 100 ms timer: flash-text expiry, then the blink clock.
void on_timer(HWND hwnd);

// The repaint request of this program: invalidates the main window and has
// it painted before returning. Installed with set_repaint_hook at creation.
void redraw_main_window();
