// zezodavoru-cli replay: runs a recorded device byte stream through the
// interpreter exactly as the program does, then prints the number of repaint
// requests and the controller dump, and on request writes the window's
// picture as a PNG file.
//
//   replay [--hex] [--ticks N] [--png FILE] [--size 1-4] [--scheme N] [FILE]
//
// The stream comes from FILE or standard input, raw or, with --hex, as hex
// text in which 't' is one 100 ms timer tick (byte_stream.h). It is read and
// run in pieces of 64 KiB, so a stream of any length replays in the same
// memory. Nothing is printed or written before the whole stream has run:
// bad input, wherever it is, prints nothing but one line on standard error
// (exit status 2). --ticks N adds N timer ticks after the stream.
//
// Every byte is handed to the interpreter on its own, so "repaints N" counts
// each command's repaint request (see the subcommand's help).
//
// The replay runs in a display session of its own, built on the stack, so
// nothing of it outlives the subcommand.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "image/window_image.h"
#include "protocol/display_session.h"
#include "tools/byte_stream.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/png_writer.h"

namespace {

// The picture the window paints, scaled to the preset's image size if one
// was chosen.
bool write_window_png(DisplaySession& session, const ReplayOptions& options, std::string& error) {
    WindowPicture picture;
    session.render([&](const LcdController& lcd) {
        picture = window_picture(lcd.dots, lcd.dot_width, lcd.dot_height, options.color_scheme,
                                 options.size_preset);
    });
    return write_png(options.png_path, picture.pixels, picture.width, picture.height, error);
}

// Reads the stream piece by piece and runs each piece as soon as it is read
// (and parsed, for hex text). False with `error` set when the source cannot
// be read or its hex text is malformed.
bool run_stream(DisplaySession& session, const ReplayOptions& options, std::string& error) {
    constexpr size_t piece_size = 64 * 1024;
    HexStreamParser parser;
    std::vector<StreamStep> steps;
    bool parsed = true;
    const auto run_piece = [&](std::string_view piece) {
        if (!options.hex) {
            for (const char b : piece) session.interpret_byte(static_cast<uint8_t>(b));
            return true;
        }
        steps.clear();
        parsed = parser.feed(piece, steps, error);
        if (!parsed) return false;
        for (const StreamStep& step : steps) {
            if (step.tick) {
                session.on_timer();
            } else {
                session.interpret_byte(step.value);
            }
        }
        return true;
    };
    if (!read_stream_pieces(options.input_path, piece_size, run_piece, error)) return false;
    return parsed && (!options.hex || parser.finish(error));
}

}  // namespace

int cli_replay(const ReplayOptions& options) {
    DisplaySession session;
    if (!session.start()) {
        return report_bad_input("replay: cannot create the display controller");
    }
    std::string error;
    if (!run_stream(session, options, error)) return report_bad_input("replay: " + error);
    for (uint32_t i = 0; i < options.ticks; ++i) session.on_timer();

    // The picture first, so that a file that cannot be written leaves no
    // dump behind its error line.
    if (!options.png_path.empty() && !write_window_png(session, options, error)) {
        return report_failure("replay: " + error);
    }
    std::printf("repaints %llu\n", static_cast<unsigned long long>(session.repaint_count()));
    session.with_state([](SessionState& state) { print_dump(*state.display, state.blink.phase); });
    return 0;
}
