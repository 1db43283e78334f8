// Output files on Windows (output_file.h). What stands at the path is seen
// through a handle opened for no access at all (FILE_FLAG_BACKUP_SEMANTICS
// lets it name a folder too): its type tells a device (a console, "NUL", a
// COM port, a pipe) from a file, its attributes a folder or a read-only
// file, and its final path the file a symbolic link leads to, which is then
// the one written. The temporary file beside it is created exclusively;
// ReplaceFile puts it in place of an existing file, keeping that file's
// attributes and access rights, and MoveFileEx under a new name. A file
// written in place may be read by others meanwhile.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "record/output_file.h"

namespace {

// The system's sentence for an error code, without its full stop and line
// break.
std::string system_text(DWORD code) {
    std::array<char, 512> text{};
    const DWORD size =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text.data(), static_cast<DWORD>(text.size()), nullptr);
    std::string reason(text.data(), size);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

HANDLE handle_of(intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

// What stands at a path: nothing (error is then why it could not be
// opened), or a file system object of a type, with its attributes and the
// path of the object itself.
struct Existing {
    bool found = false;
    DWORD error = 0;
    DWORD type = FILE_TYPE_UNKNOWN;
    DWORD attributes = 0;
    std::string final_path;
};

Existing look_at(const std::string& path) {
    Existing existing;
    const HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        existing.error = GetLastError();
        return existing;
    }
    existing.found = true;
    existing.type = GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) existing.attributes = info.dwFileAttributes;
    std::array<char, MAX_PATH * 2> final_path{};
    const DWORD size =
        GetFinalPathNameByHandleA(handle, final_path.data(), static_cast<DWORD>(final_path.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size > 0 && size < final_path.size()) existing.final_path.assign(final_path.data(), size);
    CloseHandle(handle);
    return existing;
}

// What stands in the place of a regular file, or null for a regular file.
const char* not_a_file(const Existing& existing) {
    if (existing.type == FILE_TYPE_PIPE) return "a pipe";
    if (existing.type != FILE_TYPE_DISK) return "a device";
    if ((existing.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "a directory";
    return nullptr;
}

}  // namespace

bool OutputFile::open_file(Placement placement) {
    const Existing existing = look_at(target_);
    if (!existing.found && existing.error != ERROR_FILE_NOT_FOUND) {
        return fail(system_text(existing.error));
    }
    if (existing.found) {
        if (const char* kind = not_a_file(existing)) {
            return fail(std::string("it is ") + kind + ", not a regular file");
        }
        // Replacing it would remove a file that may not be written to.
        if ((existing.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return fail(system_text(ERROR_ACCESS_DENIED));
        }
        if (!existing.final_path.empty()) target_ = existing.final_path;
    }
    if (placement == Placement::in_place) {
        const HANDLE handle = CreateFileA(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return fail(system_text(GetLastError()));
        file_ = reinterpret_cast<intptr_t>(handle);
        return true;
    }
    temporary_ = target_ + ".tmp" + std::to_string(GetCurrentProcessId());
    const HANDLE handle = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        temporary_.clear();
        return fail(system_text(GetLastError()));
    }
    file_ = reinterpret_cast<intptr_t>(handle);
    return true;
}

bool OutputFile::write_file(const char* bytes, size_t size) {
    while (size > 0) {
        const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD put = 0;
        if (!WriteFile(handle_of(file_), bytes, piece, &put, nullptr)) {
            return fail(system_text(GetLastError()));
        }
        bytes += put;
        size -= put;
    }
    return true;
}

bool OutputFile::close_file() {
    const HANDLE handle = handle_of(file_);
    file_ = -1;
    if (in_place_) return CloseHandle(handle) || fail(system_text(GetLastError()));
    const bool replaces = GetFileAttributesA(target_.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool placed =
        CloseHandle(handle) &&
        (replaces ? ReplaceFileA(target_.c_str(), temporary_.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                  : MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH));
    if (!placed) {
        const DWORD reason = GetLastError();
        DeleteFileA(temporary_.c_str());
        temporary_.clear();
        return fail(system_text(reason));
    }
    temporary_.clear();
    return true;
}

void OutputFile::discard() {
    if (file_ == -1) return;
    CloseHandle(handle_of(file_));
    file_ = -1;
    if (!in_place_ && !temporary_.empty()) DeleteFileA(temporary_.c_str());
}

void OutputFile::binary_stdout() {
    // A program without a console may have no standard output at all; its
    // writes then fail and say so.
    if (const int fd = _fileno(stdout); fd >= 0) _setmode(fd, _O_BINARY);
}
