// The main window's session commands, in its system menu (the caption's
// icon, Alt+Space) below the system's own items: "Save recording..." (the
// flight recorder's last minutes), "Save picture..." (what the window
// shows, at its size preset and colour scheme, as a PNG), "Copy screen as
// text" (the rows, on the clipboard) and "About". Files are chosen in the
// standard save dialog and written by the output file's rules; what cannot
// be done is said in a message box.
//
// Recording: the panel's tap feeds the window's session recorder, whose
// flight recorder always keeps the last minutes, and which writes the whole
// session to a file from the command line's --record on.
//
// Everything here runs on the window's thread.
#pragma once

#include <windows.h>

#include <string>

struct MainWindow;

// Appends the commands to the window's system menu.
void add_session_commands(HWND hwnd);
// Runs the system-menu command `id` (a WM_SYSCOMMAND's wParam); false if
// it is none of these.
bool run_session_command(MainWindow& window, WPARAM id);

// The flight recorder's minutes, or the picture, into `path`; false with
// `error` set.
bool save_recording(MainWindow& window, const std::string& path, std::string& error);
bool save_picture(MainWindow& window, const std::string& path, std::string& error);

// Writes the session to `path` from now on, `target` being what is (or is
// about to be) linked. False, with `error` set, if the file cannot be
// written.
bool record_session(MainWindow& window, const std::string& path, const std::string& target,
                    std::string& error);
// At every service of the panel: flushes the recording once a second and,
// if it stopped, says why, once.
void check_recording(MainWindow& window);
