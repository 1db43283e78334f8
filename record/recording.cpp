// Writing the recording format's lines (recording.h) with the JSON library.
// Times are written to the microsecond; the library prints the shortest
// decimal that reads back as the same number.
#include "record/recording.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

constexpr std::array<std::string_view, 6> kind_names = {"rx", "tx", "tick", "link", "mark", "drop"};

bool carries_bytes(RecordKind kind) {
    return kind == RecordKind::rx || kind == RecordKind::tx || kind == RecordKind::drop;
}

}  // namespace

std::string_view record_kind_name(RecordKind kind) {
    return kind_names[static_cast<size_t>(kind)];
}

std::optional<RecordKind> record_kind_of(std::string_view name) {
    for (size_t i = 0; i < kind_names.size(); ++i) {
        if (kind_names[i] == name) return static_cast<RecordKind>(i);
    }
    return std::nullopt;
}

std::string utc_now_text() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(now - day);
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text.data();
}

std::string header_line(const RecordingHeader& header) {
    nlohmann::ordered_json json;
    json["format"] = recording_format_name;
    json["version"] = recording_format_version;
    json["program"] = header.program;
    json["program_version"] = header.program_version;
    json["target"] = header.target;
    json["side"] = header.side;
    json["line"] = header.line;
    json["start"] = header.start;
    json["tick_ms"] = 100;
    json["complete"] = header.complete;
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string event_line(const RecordEvent& event) {
    const double t = std::round(event.t * 1e6) / 1e6;
    nlohmann::json json = nlohmann::json::array({t, record_kind_name(event.kind)});
    if (carries_bytes(event.kind)) {
        json.push_back(hex_text(event.bytes));
    } else if (event.kind != RecordKind::tick) {
        json.push_back(event.text);
    }
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool is_recording_header(std::string_view first_line) {
    if (first_line.empty() || first_line.front() != '{') return false;
    const nlohmann::json json = nlohmann::json::parse(first_line, nullptr, false);
    if (!json.is_object()) return false;
    const auto format = json.find("format");
    return format != json.end() && format->is_string() &&
           format->get_ref<const std::string&>() == recording_format_name;
}
