// Reading and parsing device byte streams. The whole source is read first,
// so a malformed stream is reported before anything reaches a port or the
// interpreter.
#include "tools/byte_stream.h"

#include <cstdio>

#include "tools/cli_common.h"

namespace {

std::string describe(char c) {
    const auto u = static_cast<unsigned char>(c);
    char buffer[16];
    if (u >= 0x21 && u <= 0x7E) {
        std::snprintf(buffer, sizeof buffer, "'%c'", c);
    } else {
        std::snprintf(buffer, sizeof buffer, "byte 0x%02x", u);
    }
    return buffer;
}

}  // namespace

bool parse_byte_stream(std::string_view text, bool hex, std::vector<StreamStep>& steps,
                       std::string& error) {
    steps.clear();
    if (!hex) {
        steps.reserve(text.size());
        for (const char c : text) steps.push_back({false, static_cast<uint8_t>(c)});
        return true;
    }
    size_t line = 1;
    size_t line_start = 0;
    const auto fail = [&](size_t at, const std::string& what) {
        error = "line " + std::to_string(line) + ", column " + std::to_string(at - line_start + 1) +
                ": " + what;
        return false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            line_start = i + 1;
        } else if (is_space(c)) {
        } else if (c == '#') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
        } else if (c == 't' || c == 'T') {
            steps.push_back({true, 0});
        } else if (hex_digit_value(c) >= 0) {
            const int low = i + 1 < text.size() ? hex_digit_value(text[i + 1]) : -1;
            if (low < 0) return fail(i, "hex digit " + describe(c) + " without its pair");
            steps.push_back({false, static_cast<uint8_t>(hex_digit_value(c) * 16 + low)});
            ++i;
        } else {
            return fail(i, "unexpected " + describe(c));
        }
    }
    return true;
}

bool read_stream_source(const std::string& path, std::string& text, std::string& error) {
    if (read_script(path, text)) return true;
    error = path.empty() || path == "-" ? "cannot read standard input" : "cannot read " + path;
    return false;
}
