// The session recorder (session_recorder.h).
#include "panel/session_recorder.h"

#include "panel/test_writer.h"
#include "record/output_file.h"
#include "zezodavoru_version.h"

SessionRecorder::SessionRecorder(std::string program, bool flight)
    : program_(std::move(program)),
      keep_flight_(flight),
      start_(Clock::now()),
      start_text_(utc_now_text()) {}

RemotePanel::Tap SessionRecorder::tap() {
    return [this](const PanelEvent& event) { record(event); };
}

RecordEvent SessionRecorder::event_of(const PanelEvent& event, double t) {
    RecordEvent recorded{t, RecordKind::tick, {}, {}};
    switch (event.kind) {
        case PanelEventKind::received:
            recorded.kind = RecordKind::rx;
            break;
        case PanelEventKind::dropped:
            recorded.kind = RecordKind::drop;
            break;
        case PanelEventKind::sent:
            recorded.kind = RecordKind::tx;
            break;
        case PanelEventKind::tick:
            return recorded;
        case PanelEventKind::link:
            recorded.kind = RecordKind::link;
            recorded.text = link_state_name(event.state);
            return recorded;
    }
    recorded.bytes.assign(event.bytes.begin(), event.bytes.end());
    return recorded;
}

void SessionRecorder::record(const PanelEvent& event) {
    // Empty batches carry nothing to replay.
    if (event.kind != PanelEventKind::tick && event.kind != PanelEventKind::link &&
        event.bytes.empty()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const RecordEvent recorded =
        event_of(event, std::chrono::duration<double>(now - start_).count());
    std::lock_guard lock(mutex_);
    if (keep_flight_) flight_.add(recorded);
    if (writer_.is_open() && !writer_.add(recorded, now)) write_error_ = writer_.error();
}

RecordingHeader SessionRecorder::header_for(const std::string& target) const {
    RecordingHeader header;
    header.program = program_;
    header.program_version = ZEZ_VERSION;
    header.target = target;
    header.start = start_text_;
    return header;
}

bool SessionRecorder::record_to(const std::string& path, const std::string& target,
                                std::string& error) {
    std::lock_guard lock(mutex_);
    write_error_.clear();
    if (writer_.open(path, header_for(target))) return true;
    error = writer_.error();
    return false;
}

std::string SessionRecorder::record_error() {
    std::lock_guard lock(mutex_);
    return write_error_;
}

void SessionRecorder::flush_if_due() {
    std::lock_guard lock(mutex_);
    if (!writer_.flush_if_due()) write_error_ = writer_.error();
}

bool SessionRecorder::stop_recording(std::string& error) {
    std::lock_guard lock(mutex_);
    if (writer_.close() && write_error_.empty()) return true;
    error = write_error_.empty() ? writer_.error() : write_error_;
    return false;
}

bool SessionRecorder::save_flight(const std::string& path, const std::string& target,
                                  std::string& error) {
    std::lock_guard lock(mutex_);
    return flight_.save(path, header_for(target), error);
}

bool SessionRecorder::save_test(const std::string& path, const std::string& target,
                                const std::string& author, std::vector<std::string>& warnings,
                                std::string& error) {
    std::string module;
    {
        std::lock_guard lock(mutex_);
        RecordingHeader header = header_for(target);
        header.complete = !flight_.trimmed();
        TestWriter writer("the flight recorder", author);
        writer.set_header(header);
        flight_.for_each([&writer](const RecordEvent& event) { writer.add(event); });
        module = writer.finish();
        warnings = writer.warnings();
    }
    OutputFile file;
    if (file.open(path) && file.write(module.data(), module.size()) && file.commit()) return true;
    error = file.error();
    return false;
}
