// The POSIX serial link: termios set-up, exclusive opening, non-blocking
// reads that tell a hang-up from an empty line, and bounded writes.
#include "serial/tty_link_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

TtyResult result_of_errno(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return TtyResult::not_found;
        case EACCES:
        case EPERM:
            return TtyResult::permission_denied;
        case EBUSY:
        case EWOULDBLOCK:
            return TtyResult::busy;
        default:
            return TtyResult::cannot_configure;
    }
}

// 19200 baud, 8N1, raw, receiver on, modem lines ignored, no flow control.
bool configure(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

const char* tty_result_text(TtyResult result) {
    switch (result) {
        case TtyResult::ok:
            return "linked";
        case TtyResult::not_found:
            return "port not found";
        case TtyResult::permission_denied:
            return "permission denied (is the user in the dialout group?)";
        case TtyResult::busy:
            return "port busy: another program has it open";
        case TtyResult::not_a_terminal:
            return "not a serial port";
        case TtyResult::cannot_configure:
            return "cannot configure the port";
    }
    return "cannot open the port";
}

TtyResult TtyLink::tty_open(const std::string& path) {
    tty_close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return result_of_errno(errno);
    TtyResult result = TtyResult::ok;
    if (!isatty(fd)) {
        result = TtyResult::not_a_terminal;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? TtyResult::busy : result_of_errno(errno);
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        result = result_of_errno(errno);
    } else if (!configure(fd)) {
        result = TtyResult::cannot_configure;
    }
    if (result != TtyResult::ok) {
        ::close(fd);
        return result;
    }
    // Held off as the device expects; a pseudo-terminal has no such lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    fd_ = fd;
    path_ = path;
    return TtyResult::ok;
}

void TtyLink::tty_close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

TtyRead TtyLink::read_available(std::span<uint8_t> buffer) {
    TtyRead result;
    if (fd_ < 0) {
        result.lost = true;
        return result;
    }
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got > 0) {
            result.count = static_cast<size_t>(got);
            return result;
        }
        if (got < 0 && errno == EINTR) continue;
        // Nothing waiting is EAGAIN; end of file or any other error means
        // the terminal has hung up.
        result.lost = got == 0 || errno != EAGAIN;
        return result;
    }
}

void TtyLink::discard_input() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

bool TtyLink::tty_write(std::span<const uint8_t> bytes, int32_t limit_ms) {
    if (fd_ < 0) return false;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (put > 0) {
            sent += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    }
    return true;
}
