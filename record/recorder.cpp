// The recording writer and the flight recorder (recorder.h).
#include "record/recorder.h"

#include <cmath>

bool RecordingWriter::open(const std::string& path, const RecordingHeader& header) {
    if (!file_.open(path, OutputFile::Placement::in_place)) return false;
    open_ = true;
    held_ = header_line(header) + '\n';
    return flush(Clock::now());
}

bool RecordingWriter::add(const RecordEvent& event, Clock::time_point now) {
    if (!open_) return false;
    held_ += event_line(event);
    held_ += '\n';
    return now - flushed_ < flush_period || flush(now);
}

bool RecordingWriter::flush(Clock::time_point now) {
    flushed_ = now;
    const bool written = file_.write(held_.data(), held_.size()) && file_.flush();
    held_.clear();
    if (!written) open_ = false;
    return written;
}

bool RecordingWriter::close() {
    if (!open_) return error().empty();
    open_ = false;
    const bool written = file_.write(held_.data(), held_.size());
    held_.clear();
    return file_.commit() && written;
}

void FlightRecorder::add(const RecordEvent& event) {
    const auto us = static_cast<int64_t>(std::llround(event.t * 1e6));
    const bool carries_bytes = event.kind == RecordKind::rx || event.kind == RecordKind::tx ||
                               event.kind == RecordKind::drop;
    std::string payload =
        carries_bytes ? std::string(event.bytes.begin(), event.bytes.end()) : event.text;
    if (!entries_.empty()) {
        Entry& last = entries_.back();
        if (last.kind == RecordKind::rx && event.kind == RecordKind::rx &&
            last.payload.size() + payload.size() <= run_limit) {
            memory_ -= size_of(last);
            last.payload += payload;
            memory_ += size_of(last);
            trim();
            return;
        }
        if (last.kind == RecordKind::rx) {  // the run has ended: give back its spare room
            memory_ -= size_of(last);
            last.payload.shrink_to_fit();
            memory_ += size_of(last);
        }
    }
    entries_.push_back({us, event.kind, std::move(payload)});
    memory_ += size_of(entries_.back());
    trim();
}

void FlightRecorder::trim() {
    const int64_t oldest = entries_.back().us - span_.count();
    while (entries_.size() > 1 && (entries_.front().us < oldest || memory_ > budget_)) {
        memory_ -= size_of(entries_.front());
        entries_.pop_front();
        trimmed_ = true;
    }
}

void FlightRecorder::for_each(const std::function<void(const RecordEvent&)>& use) const {
    RecordEvent event;
    for (const Entry& entry : entries_) {
        event.t = static_cast<double>(entry.us) / 1e6;
        event.kind = entry.kind;
        event.bytes.clear();
        event.text.clear();
        if (entry.kind == RecordKind::link || entry.kind == RecordKind::mark) {
            event.text = entry.payload;
        } else {
            event.bytes.assign(entry.payload.begin(), entry.payload.end());
        }
        use(event);
    }
}

bool FlightRecorder::save(const std::string& path, RecordingHeader header,
                          std::string& error) const {
    OutputFile file;
    header.complete = !trimmed_;
    std::string text = header_line(header) + '\n';
    bool ok = file.open(path);
    for_each([&](const RecordEvent& event) {
        text += event_line(event);
        text += '\n';
        if (text.size() >= 64 * 1024) {
            ok = ok && file.write(text.data(), text.size());
            text.clear();
        }
    });
    ok = ok && file.write(text.data(), text.size()) && file.commit();
    if (!ok) error = file.error();
    return ok;
}
