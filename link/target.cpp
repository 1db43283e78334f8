// Reading target strings (target.h).
#include "link/target.h"

#include <cctype>
#include <string_view>

#include "link/decimal.h"

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
    if (text.size() < 4 || !equal_ignoring_case(text.substr(0, 3), "com")) return std::nullopt;
    const std::optional<uint32_t> n = decimal_number(text.substr(3), 255, LeadingZeros::refused);
    if (!n || *n < 1) return std::nullopt;
    return static_cast<uint8_t>(*n);
}

// A decimal 1..65535 without sign or leading zero.
std::optional<uint16_t> tcp_port_number(std::string_view digits) {
    const std::optional<uint32_t> n = decimal_number(digits, 65535, LeadingZeros::refused);
    if (!n || *n < 1) return std::nullopt;
    return static_cast<uint16_t>(*n);
}

// "HOST:PORT" or "[V6ADDR]:PORT" into a network target of `kind`. A host
// is non-empty and holds no character that could not be in a name or an
// address (no space, slash, '@' or '?'); the lookup judges the rest.
std::optional<Target> network_target(TargetKind kind, std::string_view rest) {
    const size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = rest.substr(0, colon);
    const std::optional<uint16_t> port = tcp_port_number(rest.substr(colon + 1));
    if (!port) return std::nullopt;
    const bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
    if (bracketed) host = host.substr(1, host.size() - 2);
    if (host.empty()) return std::nullopt;
    for (const char c : host) {
        const bool allowed = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                             c == '_' || (bracketed && (c == ':' || c == '%'));
        if (!allowed) return std::nullopt;
    }
    Target target;
    target.kind = kind;
    target.host = std::string(host);
    target.tcp_port = *port;
    return target;
}

}  // namespace

std::optional<Target> parse_target(const std::string& text) {
    if (text.empty()) return std::nullopt;
    if (text == "demo") return Target{TargetKind::demo, {}, 0, {}, 0};
    if (const auto port = com_port_number(text))
        return Target{TargetKind::com_port, {}, *port, {}, 0};
    const size_t scheme_end = text.find("://");
    if (scheme_end == std::string::npos) return Target{TargetKind::device, text, 0, {}, 0};
    const std::string_view scheme = std::string_view(text).substr(0, scheme_end);
    const std::string_view rest = std::string_view(text).substr(scheme_end + 3);
    if (equal_ignoring_case(scheme, "rfc2217")) return network_target(TargetKind::rfc2217, rest);
    if (equal_ignoring_case(scheme, "socket")) return network_target(TargetKind::socket, rest);
    return std::nullopt;
}
