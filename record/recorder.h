// Recording a session as it happens: the writer that puts every event in a
// file as it comes (flushed at least once a second, so a crash loses at
// most the last second), and the flight recorder that keeps the last
// minutes in memory, bounded however fast the line runs, to be saved when
// something has gone wrong.
//
// Both take events one at a time from one caller at a time (the panel's
// tap, session_recorder.h); neither waits for anything but the file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "record/output_file.h"
#include "record/recording.h"

class RecordingWriter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds flush_period{1};

    // Opens `path` ("-": standard output) in place and writes the header.
    // False, with error() set, when the file is refused or cannot be made.
    bool open(const std::string& path, const RecordingHeader& header);
    bool is_open() const { return open_; }
    // Appends an event; what is held goes to the file once a flush period
    // has passed since the last flush. False, with error() set, once a
    // write has failed: the recording has stopped there.
    bool add(const RecordEvent& event, Clock::time_point now = Clock::now());
    // Writes what is held if a flush period has passed since the last
    // flush: for an owner whose events may pause, once in a while.
    bool flush_if_due(Clock::time_point now = Clock::now()) {
        return !open_ || now - flushed_ < flush_period || flush(now);
    }
    // Writes what is held and closes the file.
    bool close();
    const std::string& error() const { return file_.error(); }

private:
    bool flush(Clock::time_point now);

    OutputFile file_;
    std::string held_;
    Clock::time_point flushed_{};
    bool open_ = false;
};

// The last `span` of a session's events, in at most `budget` bytes of
// memory. Runs of received bytes that follow one another become one event
// (up to a run limit), so the number of events grows with the ticks, keys
// and link changes, not with the line's speed; when the bytes outgrow the
// budget the oldest events go first, even within the span.
class FlightRecorder {
public:
    static constexpr std::chrono::minutes default_span{15};
    static constexpr size_t default_budget = size_t{32} << 20;
    static constexpr size_t run_limit = 4096;  // bytes in one coalesced rx event

    explicit FlightRecorder(std::chrono::microseconds span = default_span,
                            size_t budget = default_budget)
        : span_(span), budget_(budget) {}

    void add(const RecordEvent& event);
    // The memory the kept events take (their records and their bytes).
    size_t memory() const { return memory_; }
    size_t events() const { return entries_.size(); }
    // Whether events older than the kept ones were let go.
    bool trimmed() const { return trimmed_; }

    // Hands each kept event to `use`, oldest first.
    void for_each(const std::function<void(const RecordEvent&)>& use) const;
    // Writes the kept events as a recording; the header is marked
    // incomplete when events were let go. False, with `error` set, when the
    // file cannot be written.
    bool save(const std::string& path, RecordingHeader header, std::string& error) const;

private:
    struct Entry {
        int64_t us = 0;  // microseconds since the session's start
        RecordKind kind = RecordKind::tick;
        std::string payload;  // bytes, or the text
    };
    static size_t size_of(const Entry& entry) { return sizeof(Entry) + entry.payload.capacity(); }
    void trim();

    std::chrono::microseconds span_;
    size_t budget_;
    std::deque<Entry> entries_;
    size_t memory_ = 0;
    bool trimmed_ = false;
};
