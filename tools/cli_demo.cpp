// zezodavoru-cli demo: the built-in demo device (demo/demo_device.h), played
// on a serial port or written out as the stream it sends.
//
//   demo PORT [--seed N] [--for SECONDS]
//   demo --stream SECONDS [--hex] [--seed N]
//
// On a port one poll loop plays the device: each key code that arrives goes
// to the device and its answer joins the send queue behind what is already
// there; every 50 ms the time that really passed, measured on the steady
// clock, is handed to the device and what it sends meanwhile joins the queue
// too. The queue drains at the pace of the line: a pseudo-terminal would take
// a whole screen at once, where a real unit's 19200-baud line carries 1,920
// bytes a second (ten bits a byte). A pacer keeps the writes to that rate,
// letting at most a UART's 16-byte transmit FIFO run ahead of the line, and
// the loop tops the FIFO up whenever half of it has gone out.
//
// The loop ends when --for has passed, when the line hangs up (the program's
// end going away is how a demo normally ends: one note, status 0), or on
// SIGINT or SIGTERM (status 0). Those two signals are blocked and read from a
// signalfd, so they wake the poll like any other input and no handler or
// flag is needed.
//
// With --record the run is recorded from the device's side: what it sent
// as rx, the key codes that came back as tx.
//
// --stream runs the device for the time given with no key pressed, on the
// program's clock: raw, the bytes as the device sends them; in hex text
// (byte_stream.h), with a 't' for each 100 ms timer tick of the program
// placed after the bytes sent up to that moment, so that replaying it shows
// the screen the program would show that long after linking.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "demo/demo_device.h"
#include "panel/demo_link.h"
#include "record/hex.h"
#include "tools/cli.h"
#include "tools/line_run.h"

namespace {

// ---- Pacing

// The line's pace: when everything written so far has left a 19200-baud,
// 8N1 line, and how much more may be written now without running further
// ahead of it than a transmit FIFO holds.
class LinePacer {
public:
    using ByteTime = std::chrono::duration<int64_t, std::ratio<1, 1920>>;
    static constexpr size_t fifo_bytes = 16;

    // The bytes that may be written at `now`.
    size_t room(LineClock::time_point now) const {
        const LineClock::duration backlog = std::max(free_at_ - now, LineClock::duration::zero());
        const auto queued = static_cast<size_t>(std::chrono::ceil<ByteTime>(backlog).count());
        return queued >= fifo_bytes ? 0 : fifo_bytes - queued;
    }
    // The moment from which room() is at least `wanted` (at most fifo_bytes).
    LineClock::time_point ready_at(size_t wanted) const {
        const ByteTime ahead(static_cast<int64_t>(fifo_bytes - wanted));
        return free_at_ - std::chrono::floor<LineClock::duration>(ahead);
    }
    // `count` bytes were written at `now`.
    void sent(LineClock::time_point now, size_t count) {
        free_at_ = std::max(free_at_, now) +
                   std::chrono::ceil<LineClock::duration>(ByteTime(static_cast<int64_t>(count)));
    }

private:
    LineClock::time_point free_at_{};  // when the line has sent all it was given
};

// ---- Playing on a port

// How long one write may wait for the line. A line that takes nothing for
// that long has nobody reading it: the bytes are given up, as they would be
// lost on a wire with nothing at its end.
constexpr int32_t write_limit_ms = 100;

class DemoRun {
public:
    DemoRun(Transport& link, uint32_t seed, LineRecorder& recorder)
        : link_(link), device_(demo_key_codes(), seed), recorder_(recorder) {}

    // Plays until the deadline, a hang-up or a signal; the exit status.
    int play(const SignalWatch& signals, std::optional<double> seconds) {
        const LineClock::time_point start = LineClock::now();
        const std::optional<LineClock::time_point> deadline = deadline_after(start, seconds);
        device_time_ = start;
        enqueue(device_.start());
        for (;;) {
            const LineClock::time_point now = LineClock::now();
            if (deadline && now >= *deadline) return 0;
            if (!recorder_.tend()) return 1;
            pass_time(now);
            send(now);

            pollfd fds[2] = {{link_.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
            int32_t timeout = milliseconds_until(device_time_ + tick);
            if (!queue_.empty()) timeout = timeout_until(timeout, pacer_.ready_at(wanted()));
            if (deadline) timeout = timeout_until(timeout, *deadline);
            if (::poll(fds, 2, timeout) < 0) {
                if (errno == EINTR) continue;
                return report_line_failure(std::string("demo: poll failed: ") +
                                           std::strerror(errno));
            }
            if ((fds[1].revents & POLLIN) != 0) return 0;
            if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0 && !take_keys()) {
                report_line_failure("demo: the line went away");
                return 0;
            }
        }
    }

private:
    static constexpr std::chrono::milliseconds tick{DemoDevice::tick_ms};

    void enqueue(const std::vector<uint8_t>& bytes) {
        queue_.insert(queue_.end(), bytes.begin(), bytes.end());
    }

    // Hands the device the whole milliseconds passed since it last had
    // time, once they make at least one of its ticks.
    void pass_time(LineClock::time_point now) {
        const auto passed = std::chrono::floor<std::chrono::milliseconds>(now - device_time_);
        if (passed < tick) return;
        enqueue(device_.advance(static_cast<uint32_t>(passed.count())));
        device_time_ += passed;
    }

    // The next write waits for this much room: half the FIFO, so that the
    // line never runs dry while the loop sleeps, or the rest of the queue.
    size_t wanted() const { return std::min(queue_.size(), LinePacer::fifo_bytes / 2); }

    void send(LineClock::time_point now) {
        if (queue_.empty() || now < pacer_.ready_at(wanted())) return;
        std::array<uint8_t, LinePacer::fifo_bytes> chunk{};
        const size_t count = std::min(queue_.size(), pacer_.room(now));
        std::copy_n(queue_.begin(), count, chunk.begin());
        // A refused write is given up (write_limit_ms); a hang-up behind it
        // shows on the next read.
        if (write_within(link_, std::span<const uint8_t>(chunk).first(count), write_limit_ms)) {
            recorder_.sent(std::span<const uint8_t>(chunk).first(count));
        }
        pacer_.sent(now, count);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    }

    // Gives the device every key code waiting. False once the line is gone.
    bool take_keys() {
        std::array<uint8_t, 64> buffer{};
        for (;;) {
            const TransportIo got = link_.read(buffer);
            recorder_.received(std::span<const uint8_t>(buffer).first(got.count));
            for (size_t k = 0; k < got.count; ++k) enqueue(device_.key(buffer[k]));
            if (got.lost) return false;
            if (got.count < buffer.size()) return true;
        }
    }

    Transport& link_;
    DemoDevice device_;
    LineRecorder& recorder_;
    LinePacer pacer_;
    std::deque<uint8_t> queue_;            // bytes the line has not taken yet
    LineClock::time_point device_time_{};  // how far the device's time has come
};

// ---- The stream

// Hex text as replay reads it: sixteen bytes or ten ticks (a second) a line,
// and bytes and ticks never on one line.
class HexText {
public:
    explicit HexText(std::string& text) : text_(text) {}

    void byte(uint8_t value) {
        separate(ticks_ > 0 || bytes_ == 16);
        append_hex(text_, value);
        ++bytes_;
    }
    void tick() {
        separate(bytes_ > 0 || ticks_ == 10);
        text_ += 't';
        ++ticks_;
    }
    void end_line() {
        if (bytes_ > 0 || ticks_ > 0) text_ += '\n';
        bytes_ = 0;
        ticks_ = 0;
    }

private:
    // A new line, or a space between two items of one.
    void separate(bool new_line) {
        if (new_line) end_line();
        if (bytes_ > 0 || ticks_ > 0) text_ += ' ';
    }

    std::string& text_;
    uint32_t bytes_ = 0;  // on the current line
    uint32_t ticks_ = 0;
};

bool write_out(std::string& text) {
    const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    text.clear();
    return ok;
}

int write_stream(const DemoOptions& options) {
    constexpr uint64_t timer_ms = 100;  // the program's timer
    const auto total_ms = static_cast<uint64_t>(std::llround(*options.stream_seconds * 1000));
    DemoDevice device(demo_key_codes(), options.seed);
    std::string text;
    HexText hex(text);
    const auto put = [&](const std::vector<uint8_t>& bytes) {
        if (!options.hex) {
            text.append(bytes.begin(), bytes.end());
            return;
        }
        for (uint8_t value : bytes) hex.byte(value);
    };
    if (options.hex) {
        text += "# The demo device (seed " + std::to_string(options.seed) + ") in its first " +
                std::to_string(total_ms) + " ms, a 't' for each 100 ms of the program's timer\n";
    }
    put(device.start());
    bool ok = true;
    for (uint64_t at = 0; at < total_ms && ok;) {
        const uint64_t next = std::min(total_ms, (at / timer_ms + 1) * timer_ms);
        put(device.advance(static_cast<uint32_t>(next - at)));
        if (options.hex && next % timer_ms == 0) hex.tick();
        at = next;
        if (text.size() >= 65536) ok = write_out(text);
    }
    if (options.hex) hex.end_line();
    ok = ok && write_out(text) && std::fflush(stdout) == 0;
    if (!ok) return report_line_failure("demo: cannot write the stream");
    return 0;
}

}  // namespace

int cli_demo(const DemoOptions& options) {
    if (options.stream_seconds) return write_stream(options);
    const std::unique_ptr<Transport> line = open_line(options.port, "demo: ");
    if (!line) return 1;
    const SignalWatch signals;
    if (signals.fd() < 0) {
        return report_line_failure(std::string("demo: cannot watch for signals: ") +
                                   std::strerror(errno));
    }
    LineRecorder recorder;
    if (!options.record_path.empty() &&
        !recorder.open(options.record_path, options.port, "demo: ")) {
        return 1;
    }
    DemoRun run(*line, options.seed, recorder);
    const int status = run.play(signals, options.seconds);
    return recorder.close() ? status : 1;
}
