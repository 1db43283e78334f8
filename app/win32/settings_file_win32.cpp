// The settings file's I/O: its path beside the executable, loading at
// start-up (defaults and a new file at a first run) and saving. The record
// and the path are the caller's (the main window's state); nothing is kept
// here between calls.
//
// A save never overwrites the file in place: the new image goes to a
// temporary file beside it, which then replaces the old file in one step, so
// a save that fails midway leaves the previous settings intact. A file that
// cannot be created or replaced is silent (so is a folder that cannot be
// written to); only a read or write that fails on an open file shows a
// message box.
#include <windows.h>

#include <array>
#include <string>

#include "app/settings.h"
#include "app/win32/settings_file.h"
#include "platform/handles_win32.h"

namespace {

const char* const read_failed_text = "Read config file failed.";
const char* const save_failed_text = "Save State Failed.";
const char* const error_caption = "Error";

UniqueKernelHandle open_file(const std::string& path, DWORD access, DWORD share, DWORD creation) {
    HANDLE file =
        CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueKernelHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Writes the record's image to `file` and flushes it: false if any step failed.
bool write_image(HANDLE file, const AppSettings& s) {
    const std::array<uint8_t, settings_file_size> image = settings_to_bytes(s);
    DWORD written = 0;
    return WriteFile(file, image.data(), DWORD{settings_file_size}, &written, nullptr) &&
           written == settings_file_size && FlushFileBuffers(file);
}

}  // namespace

std::string settings_path_init() {
    // A path that does not fit is refused rather than cut short, which could
    // name a file somewhere else.
    std::array<char, MAX_PATH> exe{};
    const DWORD length = GetModuleFileNameA(nullptr, exe.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return settings_path_for(std::string(exe.data(), length));
}

int settings_load(AppSettings& settings, const std::string& path) {
    UniqueKernelHandle file;
    if (!path.empty()) file = open_file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
        settings_set_defaults(settings);
        settings_save(settings, path);
        return 1;
    }
    std::array<uint8_t, settings_file_size> image{};
    DWORD read = 0;
    if (!ReadFile(file.get(), image.data(), DWORD{settings_file_size}, &read, nullptr)) {
        MessageBoxA(nullptr, read_failed_text, error_caption, MB_OK);
        return 0;
    }
    settings = settings_from_file(image.data(), read);
    return 1;
}

int settings_save(const AppSettings& settings, const std::string& path) {
    if (path.empty()) return 1;
    const std::string temporary = path + ".new";
    UniqueKernelHandle file = open_file(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!file) return 1;
    const bool written = write_image(file.get(), settings);
    file.reset();
    if (!written) {
        DeleteFileA(temporary.c_str());
        MessageBoxA(nullptr, save_failed_text, error_caption, MB_OK);
        return 0;
    }
    // A settings file that cannot be replaced (held by another program, or a
    // folder in its place) counts as one that cannot be created: silent, and
    // the old file stays as it was.
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
    }
    return 1;
}
