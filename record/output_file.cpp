// Output files (output_file.h): standard output, the order of the steps and
// the messages. The file system's part is the platform's.
#include "record/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& path, Placement placement) {
    name_ = is_standard_output(path) ? "standard output" : path;
    if (is_standard_output(path)) {
        to_stdout_ = true;
        binary_stdout();
        return true;
    }
    target_ = path;
    in_place_ = placement == Placement::in_place;
    return open_file(placement);
}

bool OutputFile::write(const void* data, size_t size) {
    if (!error_.empty()) return false;
    if (!to_stdout_) return write_file(static_cast<const char*>(data), size);
    if (std::fwrite(data, 1, size, stdout) == size) return true;
    return fail(std::strerror(errno));
}

bool OutputFile::flush() {
    if (!error_.empty()) return false;
    if (!to_stdout_) return true;
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    return fail(errno != 0 ? std::strerror(errno) : "a write failed");
}

bool OutputFile::commit() {
    if (!error_.empty()) return false;
    if (to_stdout_) return flush();
    return close_file();
}

bool OutputFile::fail(const std::string& reason) {
    if (error_.empty()) error_ = "cannot write " + name_ + ": " + reason;
    discard();
    return false;
}
