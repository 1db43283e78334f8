// The POSIX terminal transport: termios set-up and its restoration,
// exclusive opening and its release, non-blocking reads that tell a hang-up
// from an empty line, and non-blocking writes.
#include "link/tty_port_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {

LinkResult result_of_errno(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return LinkResult::not_found;
        case EACCES:
        case EPERM:
            return LinkResult::permission_denied;
        case EBUSY:
        case EWOULDBLOCK:
            return LinkResult::busy;
        case EISDIR:
        case ELOOP:
        case ENOTTY:
            return LinkResult::not_a_serial_port;
        default:
            return LinkResult::cannot_configure;
    }
}

// 19200 baud, 8N1, raw, receiver on, modem lines ignored, no flow control.
bool configure(int fd, termios tio) {
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

class TtyPort final : public Transport {
public:
    TtyPort(int fd, const termios& original) : fd_(fd), original_(original) {}
    ~TtyPort() override {
        // Put back what the port had, then let it go for the next opener.
        tcsetattr(fd_, TCSANOW, &original_);
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    TtyPort(const TtyPort&) = delete;
    TtyPort& operator=(const TtyPort&) = delete;

    int fd() const override { return fd_; }

    TransportIo read(std::span<uint8_t> buffer) override {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
            if (got > 0) return {static_cast<size_t>(got), false};
            if (got < 0 && errno == EINTR) continue;
            // Nothing waiting is EAGAIN; end of file or any other error means
            // the terminal has hung up.
            return {0, got == 0 || errno != EAGAIN};
        }
    }

    TransportIo write(std::span<const uint8_t> bytes) override {
        for (;;) {
            const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
            if (put >= 0) return {static_cast<size_t>(put), false};
            if (errno == EINTR) continue;
            return {0, errno != EAGAIN};
        }
    }

private:
    int fd_;
    termios original_;
};

}  // namespace

TransportOpen open_tty_port(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {result_of_errno(errno), nullptr};
    termios original{};
    LinkResult result = LinkResult::ok;
    if (!isatty(fd) || tcgetattr(fd, &original) != 0) {
        result = LinkResult::not_a_serial_port;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? LinkResult::busy : result_of_errno(errno);
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        result = result_of_errno(errno);
    } else if (!configure(fd, original)) {
        // The mark is taken off again: the port must not stay locked.
        ::ioctl(fd, TIOCNXCL);
        result = LinkResult::cannot_configure;
    }
    if (result != LinkResult::ok) {
        ::close(fd);
        return {result, nullptr};
    }
    // Held off as the device expects; a pseudo-terminal has no such lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    return {LinkResult::ok, std::make_unique<TtyPort>(fd, original)};
}
