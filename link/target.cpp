// Reading target strings (target.h).
#include "link/target.h"

#include <cctype>
#include <string_view>

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(a[k])) !=
            std::tolower(static_cast<unsigned char>(b[k])))
            return false;
    }
    return true;
}

// "COMn" with n 1..255 (no sign, no leading zero), optionally behind "\\.\".
std::optional<uint8_t> com_port_number(std::string_view text) {
    if (text.starts_with("\\\\.\\")) text.remove_prefix(4);
    if (text.size() < 4 || text.size() > 6 || !equal_ignoring_case(text.substr(0, 3), "com"))
        return std::nullopt;
    const std::string_view digits = text.substr(3);
    if (digits.front() == '0') return std::nullopt;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 255) return std::nullopt;
    return static_cast<uint8_t>(value);
}

}  // namespace

std::optional<Target> parse_target(const std::string& text) {
    if (text.empty()) return std::nullopt;
    if (text == "demo") return Target{TargetKind::demo, {}, 0};
    if (const auto port = com_port_number(text)) return Target{TargetKind::com_port, {}, *port};
    if (text.find("://") != std::string::npos) return std::nullopt;
    return Target{TargetKind::device, text, 0};
}
