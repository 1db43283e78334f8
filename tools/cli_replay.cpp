// zezodavoru-cli replay: runs a recorded device byte stream through the
// interpreter exactly as the program does, then prints the number of repaint
// requests and the controller dump, and on request writes the window's
// picture as a PNG file.
//
//   replay [--hex] [--ticks N] [--png FILE] [--size 1-4] [--scheme N] [FILE]
//
// The stream comes from FILE or standard input, raw or, with --hex, as hex
// text in which 't' is one 100 ms timer tick (byte_stream.h). The whole input
// is parsed before anything runs, so bad input prints nothing but one line
// on standard error (exit status 2). --ticks N adds N timer ticks after the
// stream.
//
// The replay runs in a display session of its own, built on the stack, so
// nothing of it outlives the subcommand.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "image/window_image.h"
#include "protocol/display_session.h"
#include "tools/byte_stream.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/png_writer.h"

namespace {

struct ReplayOptions {
    bool hex = false;
    uint32_t ticks = 0;
    std::string png_path;
    uint8_t size_preset = 0;  // 0: the unscaled 488 x 180 image
    int32_t color_scheme = 1;
    std::string input_path;  // empty: standard input
};

// Fills options from the arguments; on failure, returns the message naming
// the option at fault.
std::optional<std::string> parse_options(const CliArgs& args, ReplayOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takes_value =
            arg == "--ticks" || arg == "--png" || arg == "--size" || arg == "--scheme";
        if (takes_value && i + 1 >= args.size()) return "option " + arg + " needs a value";
        if (arg == "--hex") {
            options.hex = true;
        } else if (arg == "--ticks") {
            if (!parse_decimal(args[++i], UINT32_MAX, options.ticks)) {
                return "bad value for --ticks: " + args[i];
            }
        } else if (arg == "--png") {
            options.png_path = args[++i];
        } else if (arg == "--size") {
            uint32_t preset = 0;
            if (!parse_decimal(args[++i], 4, preset) || preset == 0) {
                return "bad value for --size (1-4): " + args[i];
            }
            options.size_preset = static_cast<uint8_t>(preset);
        } else if (arg == "--scheme") {
            uint32_t scheme = 0;
            if (!parse_decimal(args[++i], INT32_MAX, scheme)) {
                return "bad value for --scheme: " + args[i];
            }
            options.color_scheme = static_cast<int32_t>(scheme);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.input_path.empty()) {
            options.input_path = arg;
        } else {
            return "more than one input file: " + arg;
        }
    }
    return std::nullopt;
}

// The picture the window paints, scaled to the preset's image size if one
// was chosen.
bool write_window_png(DisplaySession& session, const ReplayOptions& options) {
    std::vector<uint32_t> pixels;
    session.render([&](const LcdController& lcd) {
        build_window_image(lcd, scheme_colors(options.color_scheme), pixels);
    });
    int32_t width = image_width;
    int32_t height = image_height;
    if (const SizePreset* preset = size_preset_info(options.size_preset)) {
        pixels = scale_image(pixels, width, height, preset->image_cx, preset->image_cy);
        width = preset->image_cx;
        height = preset->image_cy;
    }
    return write_png(options.png_path, pixels, width, height);
}

}  // namespace

int cli_replay(const CliArgs& args) {
    ReplayOptions options;
    if (auto error = parse_options(args, options)) return report_bad_input("replay: " + *error);

    std::string text;
    std::string error;
    std::vector<StreamStep> steps;
    if (!read_stream_source(options.input_path, text, error) ||
        !parse_byte_stream(text, options.hex, steps, error)) {
        return report_bad_input("replay: " + error);
    }

    DisplaySession session;
    if (!session.start()) {
        return report_bad_input("replay: cannot create the display controller");
    }
    for (const StreamStep& step : steps) {
        if (step.tick) {
            session.on_timer();
        } else {
            session.interpret_byte(step.value);
        }
    }
    for (uint32_t i = 0; i < options.ticks; ++i) session.on_timer();

    // The picture first, so that a file that cannot be written leaves no
    // dump behind its error line.
    if (!options.png_path.empty() && !write_window_png(session, options)) {
        return report_bad_input("replay: cannot write " + options.png_path);
    }
    std::printf("repaints %llu\n", static_cast<unsigned long long>(session.repaint_count()));
    session.with_state([](SessionState& state) { print_dump(*state.display, state.blink.phase); });
    return 0;
}
