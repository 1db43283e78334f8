// The recording reader (recording_reader.h). The file is taken in pieces
// of 64 KiB into a buffer from which whole lines are cut; the part already
// cut is dropped whenever the buffer is refilled. Every value is checked
// for its type before it is used, so that no input makes the JSON library
// throw.
#include "record/recording_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

constexpr size_t piece_size = 64 * 1024;
// Times beyond about 30 years are no session's: they would not survive
// being written to the microsecond.
constexpr double longest_time = 1e9;

std::string seconds_text(double t) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.3f s", t);
    return text.data();
}

std::string string_field(const nlohmann::json& object, const char* name) {
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

std::optional<RecordingSource> open_recording_source(const std::string& path) {
    std::shared_ptr<FILE> file;
    if (path.empty() || path == "-") {
        file = std::shared_ptr<FILE>(stdin, [](FILE*) {});
    } else {
        FILE* opened = std::fopen(path.c_str(), "rb");
        if (opened == nullptr) return std::nullopt;
        file = std::shared_ptr<FILE>(opened, [](FILE* f) { std::fclose(f); });
    }
    return [file](char* data, size_t size) -> std::ptrdiff_t {
        const size_t got = std::fread(data, 1, size, file.get());
        if (got == 0 && std::ferror(file.get()) != 0) return -1;
        return static_cast<std::ptrdiff_t>(got);
    };
}

RecordingReader::RecordingReader(RecordingSource source, std::string already)
    : source_(std::move(source)), buffer_(std::move(already)) {}

RecordingReader::LineResult RecordingReader::next_line(std::string_view& line) {
    size_t from = pos_;  // no line break before this
    for (;;) {
        const size_t end = buffer_.find('\n', from);
        if (end != std::string::npos || at_end_) {
            if (end == std::string::npos && pos_ >= buffer_.size()) return LineResult::end;
            const size_t stop = end == std::string::npos ? buffer_.size() : end;
            if (stop - pos_ > longest_line) break;
            line = std::string_view(buffer_).substr(pos_, stop - pos_);
            ended_with_break_ = end != std::string::npos;
            pos_ = end == std::string::npos ? buffer_.size() : end + 1;
            ++line_number_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            return LineResult::line;
        }
        if (buffer_.size() - pos_ > longest_line) break;
        buffer_.erase(0, pos_);
        pos_ = 0;
        from = buffer_.size();
        piece_.resize(piece_size);
        const std::ptrdiff_t got = source_(piece_.data(), piece_.size());
        if (got > 0) buffer_.append(piece_.data(), static_cast<size_t>(got));
        if (got < 0) {
            damaged("the file cannot be read after line " + std::to_string(line_number_));
            return LineResult::failed;
        }
        if (got == 0) at_end_ = true;
    }
    damaged("line " + std::to_string(line_number_ + 1) + " is longer than " +
            std::to_string(longest_line) + " characters");
    return LineResult::failed;
}

bool RecordingReader::damaged(const std::string& what) {
    stopped_ = true;
    problem_ = what + ": read up to the event before it";
    if (events_ > 0) problem_ += ", at " + seconds_text(last_t_);
    problem_ += " (" + std::to_string(events_) + " events)";
    return false;
}

bool RecordingReader::read_header() {
    std::string_view line;
    const LineResult got = next_line(line);
    if (got == LineResult::failed) return false;
    if (got == LineResult::end || !is_recording_header(line)) {
        stopped_ = true;
        problem_ = "the first line is not the header of a recording";
        return false;
    }
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    const auto version = json.find("version");
    if (version == json.end() || !version->is_number_integer() ||
        version->get<int64_t>() != recording_format_version) {
        stopped_ = true;
        problem_ = "the header names a version of the format other than " +
                   std::to_string(recording_format_version);
        return false;
    }
    header_.program = string_field(json, "program");
    header_.program_version = string_field(json, "program_version");
    header_.target = string_field(json, "target");
    header_.side = string_field(json, "side");
    header_.line = string_field(json, "line");
    header_.start = string_field(json, "start");
    const auto complete = json.find("complete");
    header_.complete = complete == json.end() || !complete->is_boolean() || complete->get<bool>();
    return true;
}

bool RecordingReader::take_event(std::string_view line, RecordEvent& event, bool& known) {
    const std::string at = "line " + std::to_string(line_number_);
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded()) {
        return damaged(at + (at_end_ && !ended_with_break_ && pos_ >= buffer_.size()
                                 ? " is cut off"
                                 : " is not JSON"));
    }
    if (!json.is_array() || json.size() < 2 || !json[0].is_number() || !json[1].is_string()) {
        return damaged(at + " is not an event [seconds, kind, ...]");
    }
    const double t = json[0].get<double>();
    if (!std::isfinite(t) || t < 0 || t > longest_time) {
        return damaged(at + ": the time is not a number of seconds");
    }
    if (t < last_t_) return damaged(at + ": the time goes back");
    const std::optional<RecordKind> kind = record_kind_of(json[1].get_ref<const std::string&>());
    known = kind.has_value();
    if (!known) {
        last_t_ = t;
        return true;
    }
    event = RecordEvent{t, *kind, {}, {}};
    if (*kind == RecordKind::tick) {
        last_t_ = t;
        return true;
    }
    if (json.size() < 3 || !json[2].is_string()) {
        return damaged(at + ": a " + json[1].get<std::string>() + " event needs its text");
    }
    const std::string& payload = json[2].get_ref<const std::string&>();
    if (*kind == RecordKind::rx || *kind == RecordKind::tx || *kind == RecordKind::drop) {
        if (!parse_hex_text(payload, event.bytes) || event.bytes.empty()) {
            return damaged(at + ": the bytes are not hex digit pairs");
        }
    } else {
        event.text = payload;
        if (*kind == RecordKind::link && payload != "linked" && payload != "lost" &&
            payload != "closed") {
            return damaged(at + ": a link state is \"linked\", \"lost\" or \"closed\"");
        }
    }
    last_t_ = t;
    return true;
}

bool RecordingReader::next(RecordEvent& event) {
    while (!stopped_) {
        std::string_view line;
        const LineResult got = next_line(line);
        if (got != LineResult::line) return false;
        if (line.empty()) continue;
        bool known = false;
        if (!take_event(line, event, known)) return false;
        if (!known) continue;
        ++events_;
        return true;
    }
    return false;
}
