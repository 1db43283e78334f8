// Reading and parsing device byte streams, whole or piece by piece.
//
// The hex parser's whole state is its position (line, column), whether a
// comment is open and the first digit of an unfinished pair, so a stream can
// be cut anywhere between two pieces. An error names the position of the
// character at fault and depends on nothing after it: an unpaired digit is
// reported the same whether the text goes on or ends there.
#include "tools/byte_stream.h"

#include <cstdio>
#include <memory>

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

std::string position(uint64_t line, uint64_t column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

// Closes a file the reader opened; standard input stays open.
struct SourceCloser {
    void operator()(FILE* file) const {
        if (file != stdin) std::fclose(file);
    }
};

}  // namespace

bool HexStreamParser::unpaired(std::string& error) const {
    // A "0x" prefix is the usual way to end up here; say so for a 0.
    error = position(first_line_, first_column_) + "hex digit " + describe(first_digit_) +
            " without its pair: a byte is two hex digits side by side" +
            (first_digit_ == '0' ? " (\"0x\" prefixes are not pairs)" : "");
    return false;
}

bool HexStreamParser::feed(std::string_view piece, std::vector<StreamStep>& steps,
                           std::string& error) {
    for (const char c : piece) {
        ++column_;
        if (first_digit_ != 0) {
            const int low = hex_digit_value(c);
            if (low < 0) return unpaired(error);
            steps.push_back(
                {false, static_cast<uint8_t>(hex_digit_value(first_digit_) * 16 + low)});
            first_digit_ = 0;
        } else if (c == '\n') {
            ++line_;
            column_ = 0;
            in_comment_ = false;
        } else if (in_comment_ || is_space(c)) {
        } else if (c == '#') {
            in_comment_ = true;
        } else if (c == 't' || c == 'T') {
            steps.push_back({true, 0});
        } else if (hex_digit_value(c) >= 0) {
            first_digit_ = c;
            first_line_ = line_;
            first_column_ = column_;
        } else {
            error = position(line_, column_) + "unexpected " + describe(c);
            return false;
        }
    }
    return true;
}

bool HexStreamParser::finish(std::string& error) const {
    return first_digit_ == 0 || unpaired(error);
}

bool parse_byte_stream(std::string_view text, bool hex, std::vector<StreamStep>& steps,
                       std::string& error) {
    steps.clear();
    if (!hex) {
        steps.reserve(text.size());
        for (const char c : text) steps.push_back({false, static_cast<uint8_t>(c)});
        return true;
    }
    HexStreamParser parser;
    return parser.feed(text, steps, error) && parser.finish(error);
}

bool read_stream_pieces(const std::string& path, size_t piece_size,
                        const std::function<bool(std::string_view)>& use, std::string& error) {
    const bool from_stdin = path.empty() || path == "-";
    const std::unique_ptr<FILE, SourceCloser> file(from_stdin ? stdin
                                                              : std::fopen(path.c_str(), "rb"));
    std::vector<char> buffer(piece_size);
    size_t got = 0;
    bool going = file != nullptr;
    while (going && (got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        going = use(std::string_view(buffer.data(), got));
    }
    // A directory opens but fails to read, which is reported here too.
    if (file != nullptr && std::ferror(file.get()) == 0) return true;
    error = from_stdin ? "cannot read standard input" : "cannot read " + path;
    return false;
}

bool read_stream_source(const std::string& path, std::string& text, std::string& error) {
    text.clear();
    return read_stream_pieces(
        path, 64 * 1024,
        [&](std::string_view piece) {
            text.append(piece);
            return true;
        },
        error);
}
