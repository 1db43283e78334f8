// What the subcommands that play a device on a serial port (device, demo)
// share: the steady clock their poll loops measure time with, waits turned
// into poll() timeouts, opening the port as a transport of the link layer
// (the device's side needs no settle or relink), bounded writes, and the
// report of a line that fails (exit status 1), the watch for the signals
// that end a run (platform/signal_watch_posix.h), and the recording of what
// crosses the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/transport.h"
#include "platform/signal_watch_posix.h"
#include "record/recorder.h"

using LineClock = std::chrono::steady_clock;

// A poll() timeout (-1: none) shortened to end by `when`.
int32_t timeout_until(int32_t timeout, LineClock::time_point when);

// The moment `seconds` after `start` (a --for), or none without one.
std::optional<LineClock::time_point> deadline_after(LineClock::time_point start,
                                                    std::optional<double> seconds);

// Opens `port` (a terminal device, or a network port: rfc2217:// or
// socket://, waited for) with the line's settings. On failure prints
// "zezodavoru-cli: PREFIXcannot open PORT: REASON" in the link's words and
// returns null.
std::unique_ptr<Transport> open_line(const std::string& port, const std::string& prefix);

// Writes all of `bytes`, waiting at most `limit_ms` for the line to take
// them; false if it did not (a full line, or one that has gone).
bool write_within(Transport& line, std::span<const uint8_t> bytes, int32_t limit_ms);

// Prints "zezodavoru-cli: MESSAGE" on standard error, after what standard
// output holds, and returns exit status 1.
int report_line_failure(const std::string& message);

// A recording of the line made on the device's side (--record): what the
// device sent as rx, the key codes that came back as tx, timed from
// open(). It holds no ticks: the display's timer runs in the program.
class LineRecorder {
public:
    // False after "zezodavoru-cli: PREFIXcannot write ..." on standard error.
    bool open(const std::string& path, const std::string& port, const std::string& prefix);
    void sent(std::span<const uint8_t> bytes) { add(RecordKind::rx, bytes); }
    void received(std::span<const uint8_t> bytes) { add(RecordKind::tx, bytes); }
    // Flushes once a second; false (after reporting) once the file failed.
    bool tend();
    bool close();

private:
    void add(RecordKind kind, std::span<const uint8_t> bytes);
    bool report();

    RecordingWriter writer_;
    std::string prefix_;
    LineClock::time_point start_{};
    bool failed_ = false;
};
