// Records a remote panel's session: its tap turned into recording events,
// timed from the recorder's start, for the flight recorder (always on in
// the program) and, when asked, a file written as the session goes.
//
// The tap is called one event at a time (remote_panel.h); saving and
// opening take the same lock, so the owner's thread may save the flight
// recorder while a reader thread records.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "panel/remote_panel.h"
#include "record/recorder.h"

class SessionRecorder {
public:
    using Clock = std::chrono::steady_clock;

    // `program`: the name in the headers; `flight`: keep the flight recorder.
    SessionRecorder(std::string program, bool flight);

    // The panel's tap: records every event it is given.
    RemotePanel::Tap tap();

    // Starts writing the session to `path` from now on, `target` being what
    // is (or is about to be) linked. False, with `error` set, when the file
    // cannot be written.
    bool record_to(const std::string& path, const std::string& target, std::string& error);
    // Why the file stopped being written, or empty.
    std::string record_error();
    // Flushes the file if a second has passed since it was last flushed.
    void flush_if_due();
    // Ends the file; false, with `error` set, if anything was lost.
    bool stop_recording(std::string& error);

    // Saves the flight recorder's minutes.
    bool save_flight(const std::string& path, const std::string& target, std::string& error);
    // Writes a test of the flight recorder's minutes (panel/test_writer.h),
    // `author` naming what writes it; `warnings` gets what the user should
    // know of it. False, with `error` set, when the file cannot be written.
    bool save_test(const std::string& path, const std::string& target, const std::string& author,
                   std::vector<std::string>& warnings, std::string& error);
    // The flight recorder, for tests and reports.
    const FlightRecorder& flight() const { return flight_; }

    // The event a panel event is recorded as, `t` seconds into the session.
    static RecordEvent event_of(const PanelEvent& event, double t);

private:
    RecordingHeader header_for(const std::string& target) const;
    void record(const PanelEvent& event);

    std::mutex mutex_;
    std::string program_;
    bool keep_flight_;
    Clock::time_point start_;
    std::string start_text_;
    FlightRecorder flight_;
    RecordingWriter writer_;
    std::string write_error_;
};
