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
// the window at (window_x, window_y) in the size preset's size, sets the
// window's timer to the panel's first deadline (its clock's first tick) and
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
// The loop: the panel is served on the window's thread, as every front end
// serves it (panel/remote_panel.h). WinMain's loop (run_main_window_loop)
// waits with MsgWaitForMultipleObjectsEx on the handles of the panel's
// watch and its next deadline (the clock's next tick, the link's settle,
// retry or key limit) as well as on the window's messages, and serves the
// panel when a handle or the deadline has come. The modal loops of dialogs,
// menus and moving the window wait on messages only, so two messages the
// window dispatches in any loop serve the panel too: the window's timer,
// set after every service to the panel's next deadline, and
// panel_wake_message, which a thread of the link's own posts when it has
// handed bytes on (at most one of them waits in the queue at a time).
//
// Threads: the window and everything in MainWindow belong to the main
// thread; a thread of the link's own only posts panel_wake_message.
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
// Posted to the window when the panel's watch was signalled from a thread
// of the link's own: the panel is served.
inline constexpr UINT panel_wake_message = WM_APP + 1;

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
    // A panel_wake_message is in the queue: no second one is posted.
    std::atomic<bool> wake_posted{false};
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

// Serves the panel (what is due by now) and sets the window's timer to its
// next deadline.
void serve_main_window(MainWindow& window);
// The program's message loop, until WM_QUIT: dispatches the messages of
// this thread and serves the window's panel when the handles of its watch
// are signalled or its deadline comes. Returns WM_QUIT's exit code.
int run_main_window_loop(MainWindow& window);

// The port number of the program's command line ("5", spaces around it
// allowed): 1..255, else nothing (the argument is ignored).
std::optional<uint8_t> command_line_port(const char* command_line);

// The repaint request of this program: invalidates the window and has it
// painted before returning. From another thread it waits until the window's
// thread has painted.
void redraw_main_window(HWND hwnd);
