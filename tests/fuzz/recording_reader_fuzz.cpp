// Fuzzing harness of the recording reader: the input is a recording file.
//
// Checked: reading never throws or runs away; the events come with times
// that never go back; a damaged file says so in one sentence; reading the
// file in pieces of one byte gives the same events and the same verdict as
// reading it in large pieces; and the events written back as lines (with
// the header read) read back as the same events, cleanly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_checks.h"
#include "record/recording_reader.h"

namespace {

RecordingSource memory_source(std::string text, size_t piece) {
    auto at = std::make_shared<size_t>(0);
    return [text = std::move(text), at, piece](char* data, size_t size) -> std::ptrdiff_t {
        const size_t n = std::min({size, piece, text.size() - *at});
        text.copy(data, n, *at);
        *at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

struct Reading {
    bool header = false;
    RecordingHeader fields;
    std::vector<RecordEvent> events;
    std::string problem;
};

Reading read(const std::string& text, size_t piece) {
    RecordingReader reader(memory_source(text, piece));
    Reading reading;
    reading.header = reader.read_header();
    reading.fields = reader.header();
    RecordEvent event;
    while (reading.header && reader.next(event)) reading.events.push_back(event);
    reading.problem = reader.problem();
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Reading whole = read(text, 1 << 16);
    const Reading bytewise = read(text, 1);
    FUZZ_CHECK(whole.header == bytewise.header);
    FUZZ_CHECK(whole.events == bytewise.events);
    FUZZ_CHECK(whole.problem == bytewise.problem);
    FUZZ_CHECK(whole.problem.find('\n') == std::string::npos);
    if (!whole.header) {
        FUZZ_CHECK(!whole.problem.empty());
        return 0;
    }
    double last = 0;
    std::string again = header_line(whole.fields) + "\n";
    for (const RecordEvent& event : whole.events) {
        FUZZ_CHECK(event.t >= last);
        last = event.t;
        again += event_line(event) + "\n";
    }
    // Times are written to the microsecond: compare what a second reading
    // of the rewritten file gives with a third.
    const Reading rewritten = read(again, 1 << 16);
    FUZZ_CHECK(rewritten.header);
    FUZZ_CHECK(rewritten.problem.empty());
    FUZZ_CHECK(rewritten.events.size() == whole.events.size());
    std::string third = header_line(rewritten.fields) + "\n";
    for (const RecordEvent& event : rewritten.events) third += event_line(event) + "\n";
    FUZZ_CHECK(third == again || rewritten.fields != whole.fields);
    return 0;
}
