// Fuzzing harness of the command-line tool's readers: the controller
// script's tokenizer and number readers, and the device byte stream reader
// (hex text and raw). The input is the text read.
//
// Checked: the tokenizer gives what a line-by-line reading gives (each
// line up to its '#', split at whitespace, with its line number), and its
// tokens joined by spaces tokenize to themselves; a token is a byte or a
// decimal number exactly when it has the documented form, and a byte read
// back from "%02x" is the same byte. The stream reader takes raw input
// byte for byte; hex text either parses or reports one error, a single
// line "line L, column C: ..." naming a character of the text, before
// which the text parses and after which nothing changes the report; what
// parses prints back as hex text that parses to the same steps.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "tools/byte_stream.h"
#include "tools/cli_common.h"

namespace {

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::vector<ScriptToken> tokens_by_lines(std::string_view text) {
    std::vector<ScriptToken> tokens;
    int32_t line = 1;
    size_t start = 0;
    for (size_t end = 0; end <= text.size(); ++end) {
        if (end < text.size() && text[end] != '\n') continue;
        std::string_view rest = text.substr(start, end - start);
        rest = rest.substr(0, rest.find('#'));
        for (size_t j = 0; j < rest.size();) {
            size_t k = j;
            while (k < rest.size() && !space(rest[k])) ++k;
            if (k > j) tokens.push_back({std::string(rest.substr(j, k - j)), line});
            j = k + 1;
        }
        ++line;
        start = end + 1;
    }
    return tokens;
}

void check_numbers(std::string_view token) {
    uint8_t byte = 0;
    std::string_view digits = token;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    bool is_byte = !digits.empty() && digits.size() <= 2;
    for (char c : digits) is_byte = is_byte && hex(c);
    FUZZ_CHECK(parse_hex_byte(token, byte) == is_byte);
    if (is_byte) {
        char again[3];
        std::snprintf(again, sizeof again, "%02x", byte);
        uint8_t back = 0;
        FUZZ_CHECK(parse_hex_byte(again, back) && back == byte);
    }
    for (const uint32_t max : {uint32_t{255}, uint32_t{0xFFFFFFFF}}) {
        uint64_t want = 0;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), want);
        const bool is_number = !token.empty() && error == std::errc() &&
                               end == token.data() + token.size() && want <= max &&
                               token.find_first_not_of("0123456789") == std::string_view::npos;
        uint32_t got = 0;
        FUZZ_CHECK(parse_decimal(token, max, got) == is_number);
        FUZZ_CHECK(!is_number || got == want);
    }
}

// The position named by "line L, column C: ...", as an offset into text.
size_t error_offset(std::string_view text, const std::string& error) {
    unsigned line = 0, column = 0;
    int used = 0;
    FUZZ_CHECK(std::sscanf(error.c_str(), "line %u, column %u: %n", &line, &column, &used) == 2);
    FUZZ_CHECK(used > 0 && static_cast<size_t>(used) < error.size());
    FUZZ_CHECK(error.find('\n') == std::string::npos && line >= 1 && column >= 1);
    size_t start = 0;
    for (unsigned l = 1; l < line; ++l) {
        start = text.find('\n', start);
        FUZZ_CHECK(start != std::string_view::npos);
        ++start;
    }
    const size_t at = start + column - 1;
    FUZZ_CHECK(at < text.size() && text.find('\n', start) > at);
    return at;
}

void check_stream(std::string_view text) {
    std::vector<StreamStep> steps;
    std::string error;
    FUZZ_CHECK(parse_byte_stream(text, false, steps, error) && steps.size() == text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(!steps[i].tick && steps[i].value == static_cast<uint8_t>(text[i]));
    }

    if (!parse_byte_stream(text, true, steps, error)) {
        const size_t at = error_offset(text, error);
        FUZZ_CHECK(!space(text[at]) && text[at] != '#');
        std::string prefix_error;
        FUZZ_CHECK(parse_byte_stream(text.substr(0, at), true, steps, prefix_error));
        FUZZ_CHECK(!parse_byte_stream(text.substr(0, at + 1), true, steps, prefix_error));
        FUZZ_CHECK(prefix_error == error);
        return;
    }
    std::string printed;
    for (const StreamStep& step : steps) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", step.value);
        printed += step.tick ? "t\n" : pair;
    }
    std::vector<StreamStep> again;
    FUZZ_CHECK(parse_byte_stream(printed, true, again, error) && again.size() == steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        FUZZ_CHECK(again[i].tick == steps[i].tick && again[i].value == steps[i].value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<ScriptToken> tokens = tokenize_script(text);
    const std::vector<ScriptToken> want = tokens_by_lines(text);
    FUZZ_CHECK(tokens.size() == want.size());
    std::string joined;
    for (size_t i = 0; i < tokens.size(); ++i) {
        FUZZ_CHECK(tokens[i].text == want[i].text && tokens[i].line == want[i].line);
        joined += tokens[i].text + ' ';
        check_numbers(tokens[i].text);
    }
    const std::vector<ScriptToken> rejoined = tokenize_script(joined);
    FUZZ_CHECK(rejoined.size() == tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) FUZZ_CHECK(rejoined[i].text == tokens[i].text);
    check_stream(text);
    return 0;
}
