// Whole numbers in decimal (decimal.h).
#include "link/decimal.h"

std::optional<uint32_t> decimal_number(std::string_view text, uint32_t max, LeadingZeros zeros) {
    if (text.empty()) return std::nullopt;
    if (zeros == LeadingZeros::refused && text.size() > 1 && text.front() == '0') {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > max) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}
