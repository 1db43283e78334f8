// The program's entry point: common controls, the command line
// (program_options.h), the main window's state with its settings, the
// recording the command line asks for, the main window, the link or
// playback it asks for, and the message loop that serves the window's panel
// (run_main_window_loop). Everything the program keeps lives in that state,
// which lives as long as WinMain. Exit code 1 when the window class or the
// window (with its display controller) cannot be created, or the recording
// cannot be written; 2 for a mistake on the command line.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>

#include "app/win32/main_window.h"
#include "app/win32/program_options.h"
#include "app/win32/session_commands.h"
#include "app/win32/settings_file.h"
#include "panel/playback_link.h"

namespace {

void say(HWND owner, const std::string& text, UINT icon) {
    MessageBoxA(owner, text.c_str(), main_window_title, MB_OK | icon);
}

// What the recording's header names as linked.
std::string linked_target(const ProgramOptions& options) {
    if (!options.play_path.empty()) return options.play_path;
    if (options.com_port) return "COM" + std::to_string(*options.com_port);
    return options.target;
}

// Links or plays what the command line names, once the window shows.
void link_from_command_line(MainWindow& window, const ProgramOptions& options) {
    if (!options.play_path.empty()) {
        std::string problem;
        if (play_recording(window.panel, options.play_path, options.speed, problem) == nullptr) {
            say(window.hwnd.load(), options.play_path + ": " + problem, MB_ICONWARNING);
        }
        serve_main_window(window);
    } else if (options.com_port) {
        window.settings.com_port = *options.com_port;
        link_main_window(window);
    } else if (!options.target.empty()) {
        const LinkResult result = window.panel.open(options.target);
        serve_main_window(window);
        if (result != LinkResult::ok) {
            say(window.hwnd.load(), options.target + ": " + link_result_text(result),
                MB_ICONWARNING);
        }
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    ProgramOptions options;
    const OptionsOutcome outcome = parse_program_options(program_arguments(), options);
    if (outcome.exit_status) {
        say(nullptr, outcome.text, *outcome.exit_status == 0 ? MB_ICONINFORMATION : MB_ICONERROR);
        return *outcome.exit_status;
    }

    MainWindow window(instance);
    window.settings_path = settings_path_init();
    settings_load(window.settings, window.settings_path);
    std::string error;
    if (!options.record_path.empty() &&
        !record_session(window, options.record_path, linked_target(options), error)) {
        say(nullptr, error, MB_ICONERROR);
        return 1;
    }

    if (!register_main_window_class(instance, window.settings.color_scheme)) return 1;
    HWND hwnd = create_main_window(window);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show_command);
    UpdateWindow(hwnd);
    link_from_command_line(window, options);

    const int status = run_main_window_loop(window);
    // The link's closing was the recording's last event.
    window.recorder.stop_recording(error);
    return status;
}
