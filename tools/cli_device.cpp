// zezodavoru-cli device: plays the device's side of the serial line. It
// opens a serial port (19200 baud, 8N1, raw, no flow control), sends a
// device byte stream, and prints every byte that comes back -- the
// program's key codes -- as two lowercase hex digits on a line of its own.
//
// The port is opened through the serial link (serial/tty_link_posix.h):
// exclusively, at the line's settings, non-blocking. One poll loop does
// everything, so sending (with its 100 ms pauses at the stream's ticks) and
// printing go on together. The run ends once the whole stream is sent and
// standard input has closed (with the stream read from standard input,
// --for gives the time to listen instead), or when --for has passed,
// whichever comes first, or when the other end of the line hangs up (a
// failure if the stream was not all sent). A line that takes no bytes for
// two seconds is a failure too.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "serial/tty_link_posix.h"
#include "tools/byte_stream.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/line_run.h"

namespace {

// How long one write may wait for a line that does not take bytes, when no
// --for ends the run sooner.
constexpr int32_t write_limit_ms = 2000;

// Prints the bytes waiting on the line, one per line. True when the other
// end has gone (end of file or EIO on a pseudo-terminal, an adapter pulled):
// nothing more can arrive or be sent.
bool print_arrivals(TtyLink& link) {
    std::array<uint8_t, 256> buffer{};
    const TtyRead got = link.read_available(buffer);
    for (size_t k = 0; k < got.count; ++k) {
        std::printf("%02x\n", buffer[k]);
        std::fflush(stdout);
    }
    return got.lost;
}

// Runs the exchange on the open port; returns the exit status.
int run_exchange(TtyLink& link, const std::vector<StreamStep>& steps, bool watch_stdin,
                 std::optional<double> seconds) {
    const LineClock::time_point start = LineClock::now();
    const std::optional<LineClock::time_point> deadline = deadline_after(start, seconds);
    size_t next = 0;                       // next step of the stream
    LineClock::time_point resume = start;  // end of the current tick's pause
    bool stdin_open = watch_stdin;
    for (;;) {
        const LineClock::time_point now = LineClock::now();
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

        pollfd fds[2] = {{link.fd(), POLLIN, 0}, {stdin_open ? STDIN_FILENO : -1, POLLIN, 0}};
        if (!stream_done && !pausing) fds[0].events |= POLLOUT;
        int32_t timeout = -1;
        if (!stream_done && (pausing || steps[next].tick)) timeout = milliseconds_until(resume);
        if (deadline) timeout = timeout_until(timeout, *deadline);
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return report_line_failure(std::string("poll failed: ") + std::strerror(errno));
        }
        // The line going away ends a run that was only listening; a stream
        // cut short is a failure.
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0 &&
            print_arrivals(link)) {
            if (stream_done) return 0;
            return report_line_failure("the line went away before the stream was sent");
        }
        if (!stream_done && (fds[0].revents & POLLOUT)) {
            // Bytes up to the next tick go out in one write.
            std::vector<uint8_t> chunk;
            size_t end = next;
            for (; end < steps.size() && !steps[end].tick && chunk.size() < 256; ++end) {
                chunk.push_back(steps[end].value);
            }
            const int32_t limit =
                deadline ? timeout_until(write_limit_ms, *deadline) : write_limit_ms;
            if (link.tty_write(chunk, limit)) {
                next = end;
            } else if (!deadline || LineClock::now() < *deadline) {
                // A hang-up shows on a read; anything else is a line that
                // stopped taking bytes.
                const bool gone = print_arrivals(link);
                return report_line_failure(gone ? "the line went away before the stream was sent"
                                                : "the line stopped taking the stream");
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char discard[256];
            if (::read(STDIN_FILENO, discard, sizeof discard) <= 0) stdin_open = false;
        }
    }
    tcdrain(link.fd());
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

    TtyLink link;
    if (!open_line(link, options.port, "")) return 1;
    const bool stream_from_stdin = options.file.empty() || options.file == "-";
    return run_exchange(link, steps, !stream_from_stdin, options.seconds);
}
