// Pieces shared by the subcommands of zezodavoru-cli: number parsing, the
// script tokenizer (which keeps line numbers for error reports), script
// reading, the reports of bad input and failures, the check of standard
// output and the controller dump. The dump is built in
// one string and written at once, since scripts may print it many times.
#include "tools/cli_common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "display/rasteriser.h"
#include "link/decimal.h"

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool parse_hex_byte(std::string_view token, uint8_t& value) {
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        token.remove_prefix(2);
    }
    if (token.empty() || token.size() > 2) return false;
    int32_t v = 0;
    for (char c : token) {
        const int digit = hex_digit_value(c);
        if (digit < 0) return false;
        v = v * 16 + digit;
    }
    value = static_cast<uint8_t>(v);
    return true;
}

bool parse_decimal(std::string_view token, uint32_t max, uint32_t& value) {
    const std::optional<uint32_t> number = decimal_number(token, max, LeadingZeros::allowed);
    if (number) value = *number;
    return number.has_value();
}

std::vector<ScriptToken> tokenize_script(std::string_view script) {
    std::vector<ScriptToken> tokens;
    int32_t line = 1;
    size_t i = 0;
    while (i < script.size()) {
        const char c = script[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (is_space(c)) {
            ++i;
        } else if (c == '#') {
            while (i < script.size() && script[i] != '\n') ++i;
        } else {
            const size_t start = i;
            while (i < script.size() && !is_space(script[i]) && script[i] != '#') ++i;
            tokens.push_back({std::string(script.substr(start, i - start)), line});
        }
    }
    return tokens;
}

bool read_script(const std::string& path, std::string& text) {
    const bool from_stdin = path.empty() || path == "-";
    FILE* file = from_stdin ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    text.clear();
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    // A directory opens but fails to read, which is reported here too.
    const bool ok = std::ferror(file) == 0;
    if (!from_stdin) std::fclose(file);
    return ok;
}

namespace {

void report(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "zezodavoru-cli: %s\n", message.c_str());
}

}  // namespace

int report_bad_input(const std::string& message) {
    report(message);
    return 2;
}

int report_failure(const std::string& message) {
    report(message);
    return 1;
}

bool standard_output_written(const std::string& command) {
    // A failed write may have been long ago, and its bytes dropped; then the
    // flush succeeds and only the stream's error mark tells, without a reason.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int reason = errno;
    if (flushed && std::ferror(stdout) == 0) return true;
    report_failure(command + ": cannot write standard output" +
                   (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()));
    return false;
}

void print_dump(LcdController& c, int32_t blink_phase) {
    lcd_render(c, blink_phase);
    std::string out;
    out.reserve(static_cast<size_t>(c.dot_count + c.dot_height + 3 * c.rows * c.columns + 64));
    out += "address ";
    append_hex(out, static_cast<uint8_t>(lcd_get_address(c)));
    out += "\nshift ";
    out += std::to_string(c.display_shift);
    out += "\ncells\n";
    for (int32_t i = 0; i < c.rows; ++i) {
        for (int32_t j = 0; j < c.columns; ++j) {
            if (j > 0) out += ' ';
            append_hex(out, c.ddram[static_cast<size_t>(lcd_cell_address(c, i, j))]);
        }
        out += '\n';
    }
    out += "dots\n";
    for (int32_t y = 0; y < c.dot_height; ++y) {
        const uint8_t* row = c.dots.data() + static_cast<size_t>(y) * c.dot_width;
        for (int32_t x = 0; x < c.dot_width; ++x) {
            out += row[x] == 0 ? '.' : row[x] == 1 ? '#' : '@';
        }
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}
