// The end-to-end tests' hand on the program's windows. A console program run
// under the same Wine prefix as the program: it reads one command per line
// on standard input, fields separated by tabs, and answers each with exactly
// one line on standard output, so a test keeps one driver running and talks
// to it like a user who can read every control.
//
// Windows are named by their exact title. Every message that expects an
// answer goes through SendMessageTimeout, so a program that hangs makes the
// driver answer "timeout" instead of hanging with it; clicks are posted,
// since a click may open a modal dialog that returns only when it closes.
//
// Commands (answers in brackets):
//   find TITLE                    [hex handle | none]
//   wait TITLE MS                 [ok | timeout]   until the window exists
//   gone TITLE MS                 [ok | timeout]   until it no longer exists
//   text TITLE ID                 [the text]       ID 0: the window's own
//   click TITLE ID                [ok | none]      BM_CLICK, posted
//   command TITLE ID              [ok | none]      WM_COMMAND ID, posted
//   checked TITLE ID              [BM_GETCHECK result]
//   items TITLE ID                [combo list texts, tab-separated]
//   select TITLE ID INDEX         [CB_SETCURSEL result]
//   selection TITLE ID            [CB_GETCURSEL result]
//   client TITLE                  [x y width height] client area on screen
//   rect TITLE                    [x y width height] window rectangle
//   settext TITLE ID TEXT         [ok | timeout | none]  WM_SETTEXT
//   menu MS                       [ok | timeout]   until a pop-up menu shows
//   syscommand TITLE ID           [ok | none]      WM_SYSCOMMAND ID, posted
//   clipboard                     [the clipboard's Unicode text, CR and LF as \r \n | none]
//   close TITLE                   [ok | none]      WM_CLOSE, posted
//   ping TITLE MS                 [ok | timeout | none]  WM_NULL round trip
//   create PATH                   [ok | fail ERROR]  CreateFileA, write, CREATE_ALWAYS
//   open PATH                     [ok | fail ERROR]  CreateFileA, read, OPEN_EXISTING
//   quit                          [bye]
// A malformed command answers "error ...".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT answer_timeout_ms = 3000;

std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

HWND find_window(const std::string& title) {
    return FindWindowA(nullptr, title.c_str());
}

// Sends a message with the driver's time-out; false if it timed out or the
// window is gone. Always the wide form: under Wine the ANSI form returns
// combo-box list texts cut short, and for the other messages it is the same.
bool send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, answer_timeout_ms,
                             &value)) {
        return false;
    }
    result = static_cast<LRESULT>(value);
    return true;
}

std::string to_utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

bool wait_for(const std::string& title, bool present, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if ((find_window(title) != nullptr) == present) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(25);
    }
}

std::wstring from_utf8(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string clipboard_text() {
    if (!OpenClipboard(nullptr)) return "none";
    std::wstring text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = locked;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    std::string answer;
    for (const char c : to_utf8(text)) {
        if (c == '\r') {
            answer += "\\r";
        } else if (c == '\n') {
            answer += "\\n";
        } else {
            answer += c;
        }
    }
    return answer;
}

std::string rect_text(const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
}

std::string file_result(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return "fail " + std::to_string(GetLastError());
    CloseHandle(h);
    return "ok";
}

// The control ID of a window, or the window itself for ID 0.
HWND control(HWND window, const std::string& id) {
    const int n = std::atoi(id.c_str());
    return n == 0 ? window : GetDlgItem(window, n);
}

std::string run_command(const std::vector<std::string>& f) {
    const std::string& verb = f[0];
    const size_t n = f.size();
    if (verb == "create" && n == 2) {
        return file_result(CreateFileA(f[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (verb == "open" && n == 2) {
        return file_result(CreateFileA(f[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    }
    if (verb == "clipboard" && n == 1) return clipboard_text();
    if (verb == "menu" && n == 2) {
        const DWORD start = GetTickCount();
        const DWORD ms = std::strtoul(f[1].c_str(), nullptr, 10);
        while (!IsWindowVisible(FindWindowA("#32768", nullptr))) {
            if (GetTickCount() - start >= ms) return "timeout";
            Sleep(25);
        }
        return "ok";
    }
    if (n < 2) return "error missing window title";
    if (verb == "wait" && n == 3)
        return wait_for(f[1], true, std::strtoul(f[2].c_str(), nullptr, 10)) ? "ok" : "timeout";
    if (verb == "gone" && n == 3)
        return wait_for(f[1], false, std::strtoul(f[2].c_str(), nullptr, 10)) ? "ok" : "timeout";

    const HWND window = find_window(f[1]);
    if (verb == "find" && n == 2) {
        if (!window) return "none";
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
        return buffer;
    }
    if (!window) return "none";
    LRESULT result = 0;
    if (verb == "close" && n == 2) return PostMessageA(window, WM_CLOSE, 0, 0) ? "ok" : "none";
    if (verb == "syscommand" && n == 3) {
        const auto id = static_cast<WPARAM>(std::strtoul(f[2].c_str(), nullptr, 10));
        return PostMessageA(window, WM_SYSCOMMAND, id, 0) ? "ok" : "none";
    }
    if (verb == "ping" && n == 3) {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                   std::strtoul(f[2].c_str(), nullptr, 10), &ignored)
                   ? "ok"
                   : "timeout";
    }
    if (verb == "client" && n == 2) {
        RECT r{};
        POINT origin{0, 0};
        if (!GetClientRect(window, &r) || !ClientToScreen(window, &origin)) return "none";
        OffsetRect(&r, origin.x, origin.y);
        return rect_text(r);
    }
    if (verb == "rect" && n == 2) {
        RECT r{};
        return GetWindowRect(window, &r) ? rect_text(r) : "none";
    }
    if (n < 3) return "error missing control id";
    const HWND item = control(window, f[2]);
    if (!item) return "none";
    if (verb == "text" && n == 3) {
        std::wstring text(512, L'\0');
        if (!send(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), result)) {
            return "timeout";
        }
        text.resize(static_cast<size_t>(result));
        return to_utf8(text);
    }
    if (verb == "click" && n == 3) return PostMessageA(item, BM_CLICK, 0, 0) ? "ok" : "none";
    if (verb == "settext" && n == 4) {
        const std::wstring text = from_utf8(f[3]);
        return send(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), result)
                   ? "ok"
                   : "timeout";
    }
    if (verb == "command" && n == 3) {
        const auto id = static_cast<WPARAM>(std::atoi(f[2].c_str()));
        return PostMessageA(window, WM_COMMAND, id, reinterpret_cast<LPARAM>(item)) ? "ok" : "none";
    }
    if (verb == "checked" && n == 3) {
        return send(item, BM_GETCHECK, 0, 0, result) ? std::to_string(result) : "timeout";
    }
    if (verb == "selection" && n == 3) {
        return send(item, CB_GETCURSEL, 0, 0, result) ? std::to_string(result) : "timeout";
    }
    if (verb == "select" && n == 4) {
        const auto index = static_cast<WPARAM>(std::atoi(f[3].c_str()));
        return send(item, CB_SETCURSEL, index, 0, result) ? std::to_string(result) : "timeout";
    }
    if (verb == "items" && n == 3) {
        // Wide messages: the ANSI list texts come back cut short across
        // processes under Wine.
        if (!send(item, CB_GETCOUNT, 0, 0, result)) return "timeout";
        std::string answer;
        const LRESULT count = result;
        for (LRESULT i = 0; i < count; ++i) {
            if (!send(item, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, result)) return "timeout";
            std::wstring text(static_cast<size_t>(result) + 1, L'\0');
            if (!send(item, CB_GETLBTEXT, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(text.data()), result)) {
                return "timeout";
            }
            text.resize(result < 0 ? 0 : static_cast<size_t>(result));
            if (i > 0) answer += '\t';
            answer += to_utf8(text);
        }
        return answer;
    }
    return "error unknown command " + verb;
}

}  // namespace

int main() {
    std::string line;
    int c = 0;
    while ((c = std::getchar()) != EOF) {
        if (c == '\r') continue;
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        const std::vector<std::string> fields = split_fields(line);
        line.clear();
        if (fields[0] == "quit") {
            std::puts("bye");
            break;
        }
        std::string answer = run_command(fields);
        for (char& ch : answer) {
            if (ch == '\n' || ch == '\r') ch = ' ';
        }
        std::puts(answer.c_str());
        std::fflush(stdout);
    }
    std::fflush(stdout);
    return 0;
}
