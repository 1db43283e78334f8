// zezodavoru-cli device: plays the device's side of the serial line. It
// opens a serial port (19200 baud, 8N1, raw, no flow control), sends a
// device byte stream, and prints every byte that comes back -- the
// program's key codes -- as two lowercase hex digits on a line of its own.
//
// The port is opened as a transport of the link layer (link/transport.h):
// exclusively, at the line's settings, non-blocking. One poll loop does
// everything, so sending (with its 100 ms pauses at the stream's ticks) and
// printing go on together. The run ends once the whole stream is sent and
// standard input has closed (with the stream read from standard input,
// --for gives the time to listen instead), or when --for has passed,
// whichever comes first, or when the other end of the line hangs up (a
// failure if the stream was not all sent). A line that takes no bytes for
// two seconds is a failure too: the loop never waits longer than that for
// the line to take a byte. With --record the run is recorded from the
// device's side: what was sent as rx, what came back as tx.
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

#include "tools/byte_stream.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/line_run.h"

namespace {

// How long the stream may wait for a line that takes no bytes, when no --for
// ends the run sooner.
constexpr std::chrono::milliseconds write_limit{2000};

// Prints the bytes waiting on the line, one per line. True when the other
// end has gone (end of file or EIO on a pseudo-terminal, an adapter pulled):
// nothing more can arrive or be sent.
bool print_arrivals(Transport& link, LineRecorder& recorder) {
    std::array<uint8_t, 256> buffer{};
    const TransportIo got = link.read(buffer);
    recorder.received(std::span<const uint8_t>(buffer).first(got.count));
    for (size_t k = 0; k < got.count; ++k) {
        std::printf("%02x\n", buffer[k]);
        std::fflush(stdout);
    }
    return got.lost;
}

// Runs the exchange on the open port; returns the exit status.
int run_exchange(Transport& link, const std::vector<StreamStep>& steps, bool watch_stdin,
                 std::optional<double> seconds, LineRecorder& recorder) {
    const LineClock::time_point start = LineClock::now();
    const std::optional<LineClock::time_point> deadline = deadline_after(start, seconds);
    size_t next = 0;                       // next step of the stream
    LineClock::time_point resume = start;  // end of the current tick's pause
    bool stdin_open = watch_stdin;
    LineClock::time_point progress = start;  // the last time the line took bytes
    for (;;) {
        const LineClock::time_point now = LineClock::now();
        if (deadline && now >= *deadline) break;
        if (!recorder.tend()) return 1;
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
        // Bytes wait for the line; the wait for it to take them starts now.
        const bool writing = !stream_done && !pausing;
        if (!writing) progress = now;
        if (writing && now >= progress + write_limit) {
            const bool gone = print_arrivals(link, recorder);
            return report_line_failure(gone ? "the line went away before the stream was sent"
                                            : "the line stopped taking the stream");
        }

        pollfd fds[2] = {{link.fd(), POLLIN, 0}, {stdin_open ? STDIN_FILENO : -1, POLLIN, 0}};
        int32_t timeout = -1;
        if (writing) {
            fds[0].events |= POLLOUT;
            timeout = milliseconds_until(progress + write_limit);
        } else if (!stream_done) {
            timeout = milliseconds_until(resume);
        }
        if (deadline) timeout = timeout_until(timeout, *deadline);
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return report_line_failure(std::string("poll failed: ") + std::strerror(errno));
        }
        // The line going away ends a run that was only listening; a stream
        // cut short is a failure.
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0 &&
            print_arrivals(link, recorder)) {
            if (stream_done) return 0;
            return report_line_failure("the line went away before the stream was sent");
        }
        if (writing && (fds[0].revents & POLLOUT)) {
            // Bytes up to the next tick go out in one write, as far as the
            // line takes them.
            std::vector<uint8_t> chunk;
            for (size_t k = next; k < steps.size() && !steps[k].tick && chunk.size() < 256; ++k) {
                chunk.push_back(steps[k].value);
            }
            const TransportIo put = link.write(chunk);
            recorder.sent(std::span<const uint8_t>(chunk).first(put.count));
            if (put.count > 0) {
                next += put.count;
                progress = LineClock::now();
            }
            if (put.lost) {
                print_arrivals(link, recorder);
                return report_line_failure("the line went away before the stream was sent");
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char discard[256];
            if (::read(STDIN_FILENO, discard, sizeof discard) <= 0) stdin_open = false;
        }
    }
    tcdrain(link.fd());
    return recorder.close() ? 0 : 1;
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

    const std::unique_ptr<Transport> line = open_line(options.port, "");
    if (!line) return 1;
    LineRecorder recorder;
    if (!options.record_path.empty() && !recorder.open(options.record_path, options.port, "")) {
        return 1;
    }
    const bool stream_from_stdin = options.file.empty() || options.file == "-";
    return run_exchange(*line, steps, !stream_from_stdin, options.seconds, recorder);
}
