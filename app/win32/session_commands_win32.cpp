// The session commands of the main window (session_commands.h). The
// picture and the text come from one snapshot of the screen, taken under
// the session's lock; the picture is the one zezodavoru-cli replay --png
// draws at the same size and scheme.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <array>
#include <optional>
#include <string>

#include "app/about.h"
#include "app/win32/main_window.h"
#include "app/win32/picture_file.h"
#include "app/win32/resource_ids.h"
#include "app/win32/session_commands.h"
#include "image/window_image.h"

namespace {

// The system keeps the low four bits of a system-menu command for itself.
constexpr WPARAM system_command_mask = 0xFFF0;

struct SessionCommand {
    UINT id;
    const char* text;
};
constexpr std::array<SessionCommand, 4> session_commands = {{
    {IDM_SAVE_RECORDING, "Save recording..."},
    {IDM_SAVE_PICTURE, "Save picture..."},
    {IDM_COPY_SCREEN_TEXT, "Copy screen as text"},
    {IDM_SHOW_ABOUT, "About"},
}};

// A kind of file the save dialog offers: its title (also the title of a
// failure's message box), its filter (pairs of NUL-ended strings), the
// name it proposes and the extension a name without one gets.
struct FileKind {
    const char* title;
    const char* filter;
    const char* name;
    const char* extension;
};
constexpr FileKind recording_file{"Save recording",
                                  "Recordings (*.jsonl)\0*.jsonl\0All files (*.*)\0*.*\0",
                                  "zezodavoru.jsonl", "jsonl"};
constexpr FileKind picture_file{
    "Save picture", "PNG pictures (*.png)\0*.png\0All files (*.*)\0*.*\0", "zezodavoru.png", "png"};

// The file the user chose in the standard save dialog, or none if the
// dialog was cancelled.
std::optional<std::string> choose_file(HWND owner, const FileKind& kind) {
    std::array<char, 2 * MAX_PATH> path{};
    lstrcpynA(path.data(), kind.name, static_cast<int>(path.size()));
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kind.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = kind.title;
    dialog.lpstrDefExt = kind.extension;
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&dialog)) return std::nullopt;
    return std::string(path.data());
}

void say(HWND owner, const char* title, const std::string& text) {
    MessageBoxA(owner, text.c_str(), title, MB_OK | MB_ICONWARNING);
}

using Saver = bool (*)(MainWindow&, const std::string&, std::string&);

void choose_and_save(MainWindow& window, const FileKind& kind, Saver save) {
    const HWND owner = window.hwnd.load();
    const std::optional<std::string> path = choose_file(owner, kind);
    std::string error;
    if (path && !save(window, *path, error)) say(owner, kind.title, error);
}

// UTF-8 to the clipboard's UTF-16, with its closing NUL.
std::wstring wide_text(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// The text as the clipboard's Unicode text; false if it could not be put
// there. The clipboard owns the memory once it took it.
bool put_on_clipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool put = false;
    if (memory != nullptr) {
        if (void* locked = GlobalLock(memory)) {
            CopyMemory(locked, text.c_str(), bytes);
            GlobalUnlock(memory);
            put = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!put) GlobalFree(memory);
    }
    CloseClipboard();
    return put;
}

// The picture the window shows: the window image of the display's dots in
// the settings' colour scheme, at the size preset's image size.
WindowPicture main_window_picture(MainWindow& window) {
    const std::optional<ScreenSnapshot> screen = window.panel.screen();
    if (!screen) return {};
    return window_picture(screen->dots, screen->dot_width, screen->dot_height,
                          window.settings.color_scheme, window.settings.size_preset);
}

// The screen's rows as Unicode text on the clipboard, a line break after
// each; false if the clipboard could not be had.
bool copy_screen_text(MainWindow& window) {
    const std::optional<ScreenSnapshot> screen = window.panel.screen();
    return screen && put_on_clipboard(window.hwnd.load(), wide_text(screen_text(*screen, "\r\n")));
}

}  // namespace

void add_session_commands(HWND hwnd) {
    const HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (menu == nullptr) return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (const SessionCommand& command : session_commands) {
        AppendMenuA(menu, MF_STRING, command.id, command.text);
    }
}

bool run_session_command(MainWindow& window, WPARAM id) {
    const HWND owner = window.hwnd.load();
    switch (id & system_command_mask) {
        case IDM_SAVE_RECORDING:
            choose_and_save(window, recording_file, save_recording);
            return true;
        case IDM_SAVE_PICTURE:
            choose_and_save(window, picture_file, save_picture);
            return true;
        case IDM_COPY_SCREEN_TEXT:
            if (!copy_screen_text(window)) {
                say(owner, "Copy screen as text", "The clipboard is held by another program.");
            }
            return true;
        case IDM_SHOW_ABOUT:
            MessageBoxA(owner, about_text, about_title, MB_OK | MB_ICONINFORMATION);
            return true;
        default:
            return false;
    }
}

bool save_recording(MainWindow& window, const std::string& path, std::string& error) {
    return window.recorder.save_flight(path, window.panel.target(), error);
}

bool save_picture(MainWindow& window, const std::string& path, std::string& error) {
    return write_png_file(path, main_window_picture(window), error);
}

bool record_session(MainWindow& window, const std::string& path, const std::string& target,
                    std::string& error) {
    window.record_failure_shown = false;
    return window.recorder.record_to(path, target, error);
}

void check_recording(MainWindow& window) {
    window.recorder.flush_if_due();
    if (window.record_failure_shown) return;
    const std::string error = window.recorder.record_error();
    if (error.empty()) return;
    // Before the box, whose own message loop runs the timer meanwhile.
    window.record_failure_shown = true;
    say(window.hwnd.load(), main_window_title, "The recording stopped: " + error);
}
