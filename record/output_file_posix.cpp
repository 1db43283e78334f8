// Output files on POSIX (output_file.h): symbolic links are resolved by hand, link by
// link, rather than with realpath(), so that a link whose target does not
// exist yet still leads to the file to create. The temporary file is created
// exclusively (never through a link left at its name) with the umask's mode,
// and takes the replaced file's mode and owner before the rename. A file
// written in place is opened without following a link at its name, which
// the checks have resolved already.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "record/output_file.h"

namespace {

constexpr int max_links = 40;  // as the kernel allows in one path

// What stands at a path in place of a regular file.
const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// The path with its symbolic links followed; a relative link is taken from
// the folder the link is in. False when the links go round too long.
bool follow_links(std::string& path) {
    std::array<char, 4096> link{};
    for (int hops = 0; hops < max_links; ++hops) {
        const ssize_t got = ::readlink(path.c_str(), link.data(), link.size());
        if (got < 0) return true;  // not a link (or nothing there): the file itself
        if (static_cast<size_t>(got) == link.size()) return false;
        const std::string target(link.data(), static_cast<size_t>(got));
        const size_t slash = path.rfind('/');
        path = target.front() == '/' || slash == std::string::npos
                   ? target
                   : path.substr(0, slash + 1) + target;
    }
    return false;
}

}  // namespace

bool OutputFile::open_file(Placement placement) {
    if (!follow_links(target_)) return fail(std::strerror(ELOOP));
    struct stat existing {};
    const bool replaces = ::stat(target_.c_str(), &existing) == 0;
    if (!replaces && errno != ENOENT) return fail(std::strerror(errno));
    if (replaces && !S_ISREG(existing.st_mode)) {
        return fail(std::string("it is ") + kind_of(existing.st_mode) + ", not a regular file");
    }
    // The rename would replace a file this user may not write to, as a
    // plain write would not.
    if (replaces && ::access(target_.c_str(), W_OK) != 0) return fail(std::strerror(errno));
    if (placement == Placement::in_place) {
        file_ =
            ::open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        return file_ >= 0 || fail(std::strerror(errno));
    }
    temporary_ = target_ + ".tmp" + std::to_string(::getpid());
    file_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file_ < 0) return fail(std::strerror(errno));
    if (replaces) {
        const int fd = static_cast<int>(file_);
        // Only root may give a file away; for anyone else it stays theirs.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
            return fail(std::strerror(errno));
        }
        if (::fchmod(fd, existing.st_mode & 07777) != 0) return fail(std::strerror(errno));
    }
    return true;
}

bool OutputFile::write_file(const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(static_cast<int>(file_), bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return fail(std::strerror(errno));
        bytes += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool OutputFile::close_file() {
    const int fd = static_cast<int>(file_);
    file_ = -1;
    if (in_place_) return ::close(fd) == 0 || fail(std::strerror(errno));
    if (::close(fd) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int reason = errno;
        ::unlink(temporary_.c_str());
        return fail(std::strerror(reason));
    }
    temporary_.clear();
    return true;
}

void OutputFile::discard() {
    if (file_ < 0) return;
    ::close(static_cast<int>(file_));
    file_ = -1;
    if (!in_place_) ::unlink(temporary_.c_str());
}

void OutputFile::binary_stdout() {}
