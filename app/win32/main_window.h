// The main window: a small, always-on-top, fixed-size window whose client
// area is the emulated display, and MainWindow, the state of one such
// window.
//
// WinMain (or a test) creates the MainWindow first, fills in its settings,
// and then creates the window, which reaches its state through
// GWLP_USERDATA (stored from the creation parameter in WM_NCCREATE). The
// state outlives the window; its destructor destroys a window still there.
//
// Window creation starts the display session and its idle screen, places
// the window at (window_x, window_y) in the size preset's size and starts the
// 100 ms timer that drives the flash-text expiry and the blink clock, and
// adds the session commands to its system menu (session_commands.h). The
// preset's sizes follow the DPI of the window's monitor; when the window
// moves to a monitor of another DPI (WM_DPICHANGED) it takes the rectangle
// the system suggests and paints at the new scale. Keys go
// to the key translator, and their codes to the link while it is open; a
// right click or command 6001 opens the setup dialog; command 4567
// re-applies the size preset. Destruction closes the link (its reader ends)
// before the session stops.
//
// The link is opened as "Open I/F" does by link_main_window, from the setup
// dialog or, for a port number given on the command line, at start. Once
// open it stays open until closed, also while the port is gone: the link
// then relinks by itself.
//
// The panel's tap feeds the session recorder from the start: its flight
// recorder keeps the last minutes for "Save recording...", and it writes
// the session to a file when the command line asks for it.
//
// Threads: the window and everything in MainWindow belong to the main
// thread, except what the link's reader thread touches: the panel's session
// (fed one batch of received bytes at a time, behind the session's lock) and
// `hwnd`, which the session's repaint callback reads.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "panel/remote_panel.h"
#include "panel/session_recorder.h"
#include "zezodavoru_version.h"

inline constexpr char main_window_class_name[] = "VorivevoRuvid";
inline constexpr char main_window_title[] = "Zezodavoru " ZEZ_VERSION;
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX: a fixed-size window.
inline constexpr DWORD main_window_style = 0x00CA0000;
// CS_VREDRAW | CS_HREDRAW | CS_OWNDC.
inline constexpr UINT main_window_class_style = 0x23;
inline constexpr auto main_timer_period_ms = static_cast<UINT>(RemotePanel::tick_period.count());

struct MainWindow {
    explicit MainWindow(HINSTANCE module);
    // Destroys the window if it is still there.
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The module whose resources (dialog templates, icon) the window uses.
    HINSTANCE instance;
    // The window, from its creation until its destruction; else null.
    std::atomic<HWND> hwnd{nullptr};
    AppSettings settings;
    // The settings file; empty while its path is unknown, and then the
    // settings are neither read nor written.
    std::string settings_path;
    // The DPI of the window's monitor, from its creation and each
    // WM_DPICHANGED on; the preset's sizes are scaled by dpi / 96.
    UINT dpi = 96;
    // Screen position used whenever the window is resized.
    int32_t window_x = 50;
    int32_t window_y = 50;
    // The picture of the last paint, reused so that a paint allocates nothing.
    std::vector<uint32_t> pixels;
    // The recorder on the panel's tap; declared first, so that it outlives
    // the panel.
    SessionRecorder recorder{"zezodavoru", true};
    // Whether the recording's failure has been said.
    bool record_failure_shown = false;
    // The device's panel: session, link (open from link_main_window until
    // unlink_main_window; key codes are sent only then) and key translator.
    RemotePanel panel;
};

// The state of a main window, or null for any other window.
MainWindow* main_window_of(HWND hwnd);

// Registers the window class with the icon, the arrow cursor and the
// background of `color_scheme` (chosen once, here). False on failure.
bool register_main_window_class(HINSTANCE instance, int32_t color_scheme);
// Creates the window of `window` (running its creation sequence); null on
// failure, including a display controller that could not be created.
HWND create_main_window(MainWindow& window);

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Applies window.settings.size_preset: for 1..4 the window goes on top of
// all others at (window_x, window_y) with the preset's size at window.dpi;
// otherwise nothing.
void resize_main_window(MainWindow& window);

// Opens the link on settings.com_port and starts its reader, as "Open I/F"
// does, closing first whatever was open. Returns null on success, else the
// link-state text of the failure.
const char* link_main_window(MainWindow& window);
// Closes the link (its reader ends, a relink stops).
void unlink_main_window(MainWindow& window);
// Whether the link is open (linked, or lost and relinking).
bool main_window_linked(const MainWindow& window);
// The link-state text of the setup dialog: "Qor I/F Closed" while not open,
// "Qor Link Lost" while the port is gone and being reopened, else "Qor
// Linked".
const char* link_state_text(const MainWindow& window);

// The port number of the program's command line ("5", spaces around it
// allowed): 1..255, else nothing (the argument is ignored).
std::optional<uint8_t> command_line_port(const char* command_line);

// The repaint request of this program: invalidates the window and has it
// painted before returning. From another thread it waits until the window's
// thread has painted.
void redraw_main_window(HWND hwnd);
