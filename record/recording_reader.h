// Reads a recording (recording.h) line by line in bounded memory: the
// header first, then one event at a time, so a recording of any length is
// read with one line in memory (a line may hold at most longest_line
// characters).
//
// A damaged file -- cut off by a crash, a line that is no event, times
// that run backwards, a line too long -- is read up to its last whole
// event: next() then ends and problem() says what was wrong and where, and
// how far the events went. Event kinds this version does not know are
// skipped, so that later versions may add kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/recording.h"

// Fills `data` with up to `size` bytes of the file; the count, 0 at its end,
// or -1 when it cannot be read.
using RecordingSource = std::function<std::ptrdiff_t(char* data, size_t size)>;

// A file, or standard input for "" and "-"; none if it cannot be opened.
std::optional<RecordingSource> open_recording_source(const std::string& path);

class RecordingReader {
public:
    static constexpr size_t longest_line = size_t{1} << 20;

    // `already`: bytes the caller took from the source before (to look at
    // the first line); they are read first.
    explicit RecordingReader(RecordingSource source, std::string already = {});

    // Reads the header line. False, with problem() set, when the first line
    // is no recording header or a version this program cannot read.
    bool read_header();
    const RecordingHeader& header() const { return header_; }

    // The next event; false at the end of the file or where it is damaged
    // (problem() is then set).
    bool next(RecordEvent& event);
    // Empty while the file reads cleanly; else one sentence: "line 57 is
    // cut off: read up to the event before it, at 12.5 s".
    const std::string& problem() const { return problem_; }

    uint64_t events_read() const { return events_; }
    double last_time() const { return last_t_; }

private:
    enum class LineResult { line, end, failed };
    LineResult next_line(std::string_view& line);
    bool damaged(const std::string& what);
    bool take_event(std::string_view line, RecordEvent& event, bool& known);

    RecordingSource source_;
    std::string buffer_;  // lines not yet taken, from pos_ on
    size_t pos_ = 0;
    std::vector<char> piece_;  // what the source fills
    bool at_end_ = false;
    bool ended_with_break_ = true;  // the last line taken ended with '\n'
    uint64_t line_number_ = 0;
    RecordingHeader header_;
    uint64_t events_ = 0;
    double last_t_ = 0;
    bool stopped_ = false;
    std::string problem_;
};
