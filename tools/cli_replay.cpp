// zezodavoru-cli replay: runs a recorded device byte stream through the
// interpreter exactly as the program does, then prints the number of repaint
// requests and the controller dump, and on request writes the window's
// picture as a PNG file (with --png -, to standard output instead of the
// dump).
//
//   replay [--hex] [--ticks N] [--at SECONDS] [--png FILE] [--size 1-4] [--scheme N] [FILE]
//
// The stream comes from FILE or standard input, raw or, with --hex, as hex
// text in which 't' is one 100 ms timer tick (byte_stream.h). It is read and
// run in pieces of 64 KiB, so a stream of any length replays in the same
// memory. A recording (docs/recording.md), recognised by its header, is run
// event by event: its received bytes and its ticks, up to --at SECONDS if
// given, which reproduces the screen the window showed then. A damaged
// recording runs up to its last whole event, and a line on standard error
// says what was wrong. Nothing is printed or written before the whole stream has run:
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
#include <vector>

#include "image/window_image.h"
#include "protocol/display_session.h"
#include "record/output_file.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/png_writer.h"
#include "tools/stream_input.h"

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

}  // namespace

int cli_replay(const ReplayOptions& options) {
    DisplaySession session;
    if (!session.start()) {
        return report_bad_input("replay: cannot create the display controller");
    }
    std::string error;
    StreamHandlers handlers;
    handlers.bytes = [&session](std::span<const uint8_t> bytes, std::optional<double>) {
        for (const uint8_t b : bytes) session.interpret_byte(b);
    };
    handlers.tick = [&session] { session.on_timer(); };
    StreamRun run;
    if (!run_stream_input({options.input_path, options.hex, options.at}, handlers, run, error)) {
        return report_bad_input("replay: " + error);
    }
    for (uint32_t i = 0; i < options.ticks; ++i) session.on_timer();

    // The picture first, so that a file that cannot be written leaves no
    // dump behind its error line.
    if (!options.png_path.empty() && !write_window_png(session, options, error)) {
        return report_failure("replay: " + error);
    }
    if (!run.problem.empty()) report_failure("replay: warning: " + run.problem);
    // A picture on standard output is all that goes there.
    if (is_standard_output(options.png_path)) return 0;
    std::printf("repaints %llu\n", static_cast<unsigned long long>(session.repaint_count()));
    session.with_state([](SessionState& state) { print_dump(*state.display, state.blink.phase); });
    return 0;
}
