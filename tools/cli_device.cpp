// zezodavoru-cli device: plays the device's side of the serial line. It
// opens a serial port (19200 baud, 8N1, raw, no flow control), sends a
// device byte stream, and prints every byte that comes back -- the
// program's key codes -- as two lowercase hex digits on a line of its own.
//
// One poll loop does everything, so sending (with its 100 ms pauses at the
// stream's ticks) and printing go on together. The run ends once the whole
// stream is sent and standard input has closed (with the stream read from
// standard input, --for gives the time to listen instead), or when --for has
// passed, whichever comes first, or when the other end of the line hangs up
// (a failure if the stream was not all sent).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tools/byte_stream.h"
#include "tools/cli.h"
#include "tools/cli_common.h"

namespace {

using Clock = std::chrono::steady_clock;

// A failure of the line itself (not of the input): exit status 1.
int report_line_failure(const std::string& message) {
    const int error = errno;
    std::fflush(stdout);
    std::fprintf(stderr, "zezodavoru-cli: %s: %s\n", message.c_str(), std::strerror(error));
    return 1;
}

// Opens the port for reading and writing, without making it the controlling
// terminal, and sets 19200 baud, 8N1, raw, no flow control. -1 on failure.
int open_serial_port(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return -1;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Runs the exchange on the open port; returns the exit status.
int run_exchange(int fd, const std::vector<StreamStep>& steps, bool watch_stdin,
                 std::optional<double> seconds) {
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> deadline;
    if (seconds) {
        deadline = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(*seconds));
    }
    size_t next = 0;                   // next step of the stream
    Clock::time_point resume = start;  // end of the current tick's pause
    bool stdin_open = watch_stdin;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (deadline && now >= *deadline) break;
        // Ticks whose pause is over are passed; a new tick starts a pause.
        while (next < steps.size() && steps[next].tick && now >= resume) {
            resume = now + std::chrono::milliseconds(100);
            ++next;
        }
        const bool pausing = now < resume;
        const bool stream_done = next >= steps.size() && !pausing;
        // Once the stream is out, the run lasts while standard input stays
        // open (when it is not the stream's source) or until --for.
        if (stream_done && (watch_stdin ? !stdin_open : !deadline)) break;

        pollfd fds[2] = {{fd, POLLIN, 0}, {stdin_open ? STDIN_FILENO : -1, POLLIN, 0}};
        if (!stream_done && !pausing) fds[0].events |= POLLOUT;
        int timeout = -1;
        if (!stream_done && (pausing || steps[next].tick)) timeout = milliseconds_until(resume);
        if (deadline) {
            const int left = milliseconds_until(*deadline);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return report_line_failure("poll failed");
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            uint8_t buffer[256];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            for (ssize_t k = 0; k < got; ++k) {
                std::printf("%02x\n", buffer[k]);
                std::fflush(stdout);
            }
            // A pseudo-terminal whose other end went away reads as end of
            // file or EIO: nothing more can arrive or be sent. That ends a
            // run that was only listening; a stream cut short is a failure.
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                if (stream_done) return 0;
                errno = got == 0 ? EPIPE : errno;
                return report_line_failure("the line went away before the stream was sent");
            }
        }
        if (!stream_done && (fds[0].revents & POLLOUT)) {
            // Bytes up to the next tick go out in one write.
            std::vector<uint8_t> chunk;
            for (size_t end = next; end < steps.size() && !steps[end].tick && chunk.size() < 256;
                 ++end) {
                chunk.push_back(steps[end].value);
            }
            const ssize_t put = ::write(fd, chunk.data(), chunk.size());
            if (put > 0) next += static_cast<size_t>(put);
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char discard[256];
            if (::read(STDIN_FILENO, discard, sizeof discard) <= 0) stdin_open = false;
        }
    }
    tcdrain(fd);
    return 0;
}

}  // namespace

int cli_device(const DeviceOptions& options) {
    std::string text;
    std::string error;
    if (!read_stream_source(options.file, text, error)) return report_bad_input(error);
    std::vector<StreamStep> steps;
    if (!parse_byte_stream(text, options.hex, steps, error)) {
        return report_bad_input((options.file.empty() ? std::string("<stdin>") : options.file) +
                                ": " + error);
    }

    const int fd = open_serial_port(options.port);
    if (fd < 0) return report_line_failure("cannot open " + options.port);
    const bool stream_from_stdin = options.file.empty() || options.file == "-";
    const int status = run_exchange(fd, steps, !stream_from_stdin, options.seconds);
    ::close(fd);
    return status;
}
