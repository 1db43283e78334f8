// zezodavoru-cli: the native command-line tool for firmware developers and
// for the tests.
//
// This file is the tool's whole command line: the subcommands, their options
// and arguments, the check of every option value and the help, declared once
// with the CLI11 parser. Each value option hands its text to a reader of this
// tool, which fills the subcommand's option set (cli.h) or refuses the text,
// so the forms accepted are the tool's own (digits only for numbers,
// "COLSxROWS", ...) rather than the parser's. The parser and the option sets
// live in main's frame; the subcommands do their work in cli_*.cpp.
//
// Usage errors end with exit status 2 and one line on standard error,
// "zezodavoru-cli: SUBCOMMAND: ...", naming the option or argument at fault.
// Whatever the subcommand, standard output that cannot be written (a full
// disk) is a failure, exit status 1, checked here once the subcommand ends.
// --help (for the tool or one subcommand) and --version print to standard
// output and end with status 0.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli.h"
#include "tools/cli_common.h"
#include "zezodavoru_version.h"

namespace {

// ---- Option values: each reader fills its value from the text or refuses it.

bool read_font(const std::string& text, FontChoice& font) {
    if (text == "0") {
        font = FontChoice::rom0;
    } else if (text == "1") {
        font = FontChoice::rom1;
    } else if (text == "8x16") {
        font = FontChoice::wide8x16;
    } else {
        return false;
    }
    return true;
}

// "COLSxROWS", both decimal.
bool read_geometry(const std::string& text, ControllerOptions& options) {
    constexpr uint32_t max_dimension = 0x7FFFFFFF;
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    uint32_t columns = 0;
    uint32_t rows = 0;
    if (!parse_decimal(std::string_view(text).substr(0, x), max_dimension, columns) ||
        !parse_decimal(std::string_view(text).substr(x + 1), max_dimension, rows)) {
        return false;
    }
    options.columns = static_cast<int32_t>(columns);
    options.rows = static_cast<int32_t>(rows);
    return true;
}

bool read_whole_number(const std::string& text, uint32_t& value) {
    return parse_decimal(text, UINT32_MAX, value);
}

bool read_size_preset(const std::string& text, uint8_t& preset) {
    uint32_t value = 0;
    if (!parse_decimal(text, 4, value) || value == 0) return false;
    preset = static_cast<uint8_t>(value);
    return true;
}

bool read_color_scheme(const std::string& text, int32_t& scheme) {
    uint32_t value = 0;
    if (!parse_decimal(text, INT32_MAX, value)) return false;
    scheme = static_cast<int32_t>(value);
    return true;
}

// A positive number of seconds below 10^9, written in decimal: digits with
// at most one '.' among them ("2", "0.5", ".5", "3."). Nothing strtod()
// would also take: no sign, exponent, hex, "inf" or white space.
bool read_seconds(const std::string& text, std::optional<double>& seconds) {
    const size_t point = text.find('.');
    const std::string_view whole = std::string_view(text).substr(0, point);
    const std::string_view fraction =
        point == std::string::npos ? std::string_view() : std::string_view(text).substr(point + 1);
    const auto digits = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (whole.size() + fraction.size() == 0 || !digits(whole) || !digits(fraction)) return false;
    const double value = std::strtod(text.c_str(), nullptr);
    if (!(value > 0 && value < 1e9)) return false;
    seconds = value;
    return true;
}

// --at: a time into a recording as read_seconds reads it, or zero ("0",
// "0.0"): the events at the very start.
bool read_time(const std::string& text, std::optional<double>& seconds) {
    const bool zero = text.find_first_not_of("0.") == std::string::npos &&
                      text.find('0') != std::string::npos &&
                      std::count(text.begin(), text.end(), '.') <= 1;
    if (!zero) return read_seconds(text, seconds);
    seconds = 0.0;
    return true;
}

// --stream: like read_seconds, at most a day of the demo device's stream.
bool read_stream_seconds(const std::string& text, std::optional<double>& seconds) {
    constexpr double longest = 24 * 60 * 60;
    std::optional<double> value;
    if (!read_seconds(text, value) || *value > longest) return false;
    seconds = value;
    return true;
}

// Declares an option that takes one value: `read` fills `target` from the
// text, and text it refuses is a usage error naming the option, "'TEXT' is
// not WHAT". Given more than once, the last one counts.
template <class Target, class Read>
CLI::Option* add_value(CLI::App& command, const std::string& name, Target& target, Read read,
                       const std::string& value_name, const std::string& what,
                       const std::string& help) {
    CLI::Option* option = command.add_option_function<std::string>(
        name,
        [&target, read, name, what](const std::string& text) {
            if (!read(text, target)) {
                throw CLI::ValidationError(name, "'" + text + "' is not " + what);
            }
        },
        help);
    option->type_name(value_name);
    return option;
}

// Declares an option or a positional argument whose text is kept as it is.
CLI::Option* add_text(CLI::App& command, const std::string& name, std::string& target,
                      const std::string& value_name, const std::string& help) {
    return command.add_option(name, target, help)->type_name(value_name);
}

CLI::App* add_font(CLI::App& tool, FontOptions& options) {
    CLI::App* font = tool.add_subcommand(
        "font", "List a font's glyph bytes, one line \"CC: BB BB ...\" per code 10..ff");
    add_value(*font, "--rom", options.font, read_font, "0|1|8x16", "a font (0, 1 or 8x16)",
              "The font: ROM select 0 or 1 (5 x 8 dots) or the 8 x 16 font")
        ->required();
    add_text(*font, "--png", options.png_path, "FILE",
             "Also draw the font into this PNG picture, 16 glyphs a row (\"-\": standard "
             "output, in place of the listing)");
    return font;
}

CLI::App* add_controller(CLI::App& tool, ControllerOptions& options) {
    CLI::App* controller = tool.add_subcommand(
        "controller", "Run a script of steps against a controller and print its dump");
    add_value(*controller, "--geometry", options, read_geometry, "COLSxROWS",
              "COLSxROWS (two whole numbers)",
              "Text columns and rows (default 20x4; 115x64 is the graphic variant)");
    add_value(*controller, "--rom", options.rom_select, read_whole_number, "N",
              "a ROM select number", "The character ROM select (default 1)");
    add_text(*controller, "SCRIPT", options.script_path, "",
             "The script (default, or \"-\": standard input)");
    controller->footer(
        "Script steps, separated by white space; '#' starts a comment:\n"
        "  i HH    execute an instruction byte (one or two hex digits, 0x allowed)\n"
        "  d HH    write a data byte\n"
        "  r       read a data byte and print it as two hex digits\n"
        "  tick N  run N ticks of the cursor-blink clock\n"
        "  dump    print the controller dump (printed once more at the end)");
    return controller;
}

CLI::App* add_replay(CLI::App& tool, ReplayOptions& options) {
    CLI::App* replay = tool.add_subcommand(
        "replay", "Run a device byte stream through the interpreter and print the screen");
    replay->add_flag("--hex", options.hex,
                     "Hex text: digit pairs, 't' a 100 ms timer tick, '#' a comment");
    add_value(*replay, "--ticks", options.ticks, read_whole_number, "N", "a whole number of ticks",
              "Run N more timer ticks after the stream");
    add_text(*replay, "--png", options.png_path, "FILE",
             "Also write the picture the window shows as a PNG file (\"-\": standard output, "
             "in place of the dump)");
    add_value(*replay, "--size", options.size_preset, read_size_preset, "1-4",
              "a size preset (1 to 4)", "Scale the picture to a window size preset");
    add_value(*replay, "--scheme", options.color_scheme, read_color_scheme, "N",
              "a colour scheme number", "The picture's colour scheme (default 1)");
    add_value(*replay, "--at", options.at, read_time, "SECONDS", "a number of seconds",
              "A recording: stop at this time into it");
    add_text(*replay, "FILE", options.input_path, "",
             "The stream or recording (default, or \"-\": standard input)");
    replay->footer(
        "The stream runs after the program's start-up sequence, read and run in pieces, so\n"
        "it may be of any length; then come \"repaints N\" and the controller dump.\n"
        "N counts repaint requests with every byte handed to the interpreter on its own:\n"
        "one for each command that asks for a repaint (clear row asks twice, on its command\n"
        "byte and after its row) and one for each flash text that a tick ends, --ticks\n"
        "included. The program hands the bytes that arrive together over as one batch\n"
        "and repaints once for a batch in which any command asked, so for the same\n"
        "stream it repaints at most N times.\n"
        "A recording (docs/recording.md) is recognised by its header line: its received\n"
        "bytes and ticks run in order, up to --at, and reproduce the screen the window showed.");
    return replay;
}

CLI::App* add_device(CLI::App& tool, DeviceOptions& options) {
    CLI::App* device = tool.add_subcommand(
        "device", "Play the device on a serial port, printing the codes that come back");
    add_text(*device, "PORT", options.port, "",
             "The serial port, e.g. /dev/ttyUSB0, rfc2217://HOST:PORT or socket://HOST:PORT")
        ->required();
    add_text(*device, "FILE", options.file, "", "The stream (default, or \"-\": standard input)");
    device->add_flag("--hex", options.hex,
                     "Hex text: digit pairs, 't' a 100 ms pause, '#' a comment");
    add_value(*device, "--for", options.seconds, read_seconds, "SECONDS",
              "a positive number of seconds", "Stop after this long (fractions allowed)");
    add_text(*device, "--record", options.record_path, "FILE",
             "Record the run: what is sent as rx, what comes back as tx");
    device->footer(
        "The port runs at 19200 baud, 8N1, raw. Each byte that comes back is printed as two hex\n"
        "digits on a line of its own. The run ends once the stream is sent and standard input\n"
        "has closed (with the stream on standard input: after --for), or after --for.");
    return device;
}

CLI::App* add_demo(CLI::App& tool, DemoOptions& options) {
    CLI::App* demo = tool.add_subcommand(
        "demo", "Play the built-in demo device on a serial port, or write out what it sends");
    CLI::Option* port =
        add_text(*demo, "PORT", options.port, "",
                 "The serial port to play the device on (a path, rfc2217:// or socket://)");
    CLI::Option* stream = add_value(*demo, "--stream", options.stream_seconds, read_stream_seconds,
                                    "SECONDS", "a positive number of seconds up to 86400",
                                    "Print what the device sends in its first SECONDS");
    CLI::Option* hex = demo->add_flag(
        "--hex", options.hex, "With --stream: hex text, a 't' for each 100 ms of the timer");
    add_value(*demo, "--seed", options.seed, read_whole_number, "N", "a whole number",
              "The seed of the device's readings (default 1)");
    CLI::Option* seconds =
        add_value(*demo, "--for", options.seconds, read_seconds, "SECONDS",
                  "a positive number of seconds", "Stop playing after this long");
    CLI::Option* record = add_text(*demo, "--record", options.record_path, "FILE",
                                   "Record the run: what the device sends as rx, keys as tx");
    port->excludes(stream);
    seconds->excludes(stream);
    record->excludes(stream);
    hex->needs(stream);
    demo->footer(
        "On a port (19200 baud, 8N1, raw) the device shows its start-up screen, then its menu\n"
        "under a status line, and answers the key codes that arrive, sending no faster than\n"
        "the line's 1920 bytes a second. It plays until --for has passed, the line hangs up,\n"
        "or it is interrupted. --stream is what it sends with no key pressed: raw bytes, or\n"
        "with --hex the text `zezodavoru-cli replay --hex` reads.");
    return demo;
}

CLI::App* add_record(CLI::App& tool, RecordOptions& options) {
    CLI::App* record =
        tool.add_subcommand("record", "Record a link with no window, as the program would");
    add_text(*record, "TARGET", options.target, "", "What to link: a serial port or demo")
        ->required();
    add_text(*record, "FILE", options.path, "", "The recording (\"-\": standard output)")
        ->required();
    add_value(*record, "--for", options.seconds, read_seconds, "SECONDS",
              "a positive number of seconds", "Stop after this long");
    record->footer(
        "The link settles, relinks and ticks as the program's does; nothing is ever sent on\n"
        "it. The recording (docs/recording.md) is flushed every second and ends when --for\n"
        "has passed or on SIGINT or SIGTERM.");
    return record;
}

CLI::App* add_decode(CLI::App& tool, DecodeOptions& options) {
    CLI::App* decode = tool.add_subcommand(
        "decode", "Explain a byte stream or a recording, one line per display command");
    CLI::Option* hex =
        decode->add_flag("--hex", options.hex, "Hex text: digit pairs, 't' a tick, '#' a comment");
    decode->add_flag("--json", options.json, "One JSON object per command");
    CLI::Option* follow = add_text(*decode, "--follow", options.follow, "TARGET",
                                   "Decode a link live as it listens (a serial port or demo)");
    CLI::Option* seconds =
        add_value(*decode, "--for", options.seconds, read_seconds, "SECONDS",
                  "a positive number of seconds", "With --follow: stop after this long");
    CLI::Option* file = add_text(*decode, "FILE", options.input_path, "",
                                 "The stream or recording (default, or \"-\": standard input)");
    follow->excludes(file);
    follow->excludes(hex);
    seconds->needs(follow);
    decode->footer(
        "Each line: the time (recordings) and byte offset, the bytes, the command, its\n"
        "arguments, whether it asks for a repaint, and warnings: arguments out of range\n"
        "and what the display does instead, bytes ignored between commands, characters\n"
        "skipped in a text, a command cut off by the end of the stream. --json: the fields\n"
        "offset, t, bytes, command, name, args, repaint and warnings.");
    return decode;
}

CLI::App* add_codegen(CLI::App& tool, CodegenOptions& options) {
    CLI::App* codegen =
        tool.add_subcommand("codegen", "Write a pytest test that repeats a recorded session");
    add_text(*codegen, "RECORDING", options.recording, "", "The recording (\"-\": standard input)")
        ->required();
    add_text(*codegen, "-o,--output", options.output, "FILE",
             "Write the test to this file (default: standard output)");
    codegen->footer(
        "Each key sent becomes panel.press(\"Name\") (panel.send(b\"...\") for codes no name\n"
        "sends), followed by panel.wait_for() on each row it changed, as the screen then\n"
        "settled, with a timeout drawn from how long that took. Cells the device changed by\n"
        "itself while recorded (a status line's counters, a busy indicator) are matched by\n"
        "'.' in the rows' expressions. Run the test with the plugin's panel fixture:\n"
        "pytest -p zezodavoru.pytest_plugin --panel-target TARGET FILE.");
    return codegen;
}

// A usage error: "zezodavoru-cli: [SUBCOMMAND: ]MESSAGE", exit status 2.
int usage_error(const CLI::App* command, const std::string& message) {
    return report_bad_input(command != nullptr ? command->get_name() + ": " + message : message);
}

// The parser's own report of an error, whose messages begin with the name of
// the option at fault ("--rom is required", "--ticks: 1 required N
// missing"): a missing value is said in the tool's words, and an option's
// name is marked as one.
std::string describe(const CLI::ParseError& error) {
    std::string text = error.what();
    const bool names_option = text.size() > 1 && text[0] == '-';
    const size_t colon = text.find(':');
    if (names_option && dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr &&
        colon != std::string::npos && text.ends_with(" missing")) {
        return "option " + text.substr(0, colon) + " needs a value";
    }
    return names_option ? "option " + text : text;
}

// The first argument that nothing took, as a fault: an unknown option, or a
// word where no subcommand or argument fits (`stray` says which). None when
// every argument was taken.
std::optional<std::string> unused_argument(const std::vector<std::string>& leftover,
                                           const std::string& stray) {
    for (const std::string& arg : leftover) {
        if (arg == "--") continue;  // the end of the options
        if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
        return stray + " " + arg;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App tool("Tools for the emulated 20x4 display and its device's serial line.",
                  "zezodavoru-cli");
    tool.set_version_flag("--version", "zezodavoru-cli " ZEZ_VERSION);
    tool.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    tool.require_subcommand(0, 1);
    tool.allow_extras();

    FontOptions font_options;
    ControllerOptions controller_options;
    ReplayOptions replay_options;
    DeviceOptions device_options;
    DemoOptions demo_options;
    RecordOptions record_options;
    DecodeOptions decode_options;
    CodegenOptions codegen_options;
    CLI::App* font = add_font(tool, font_options);
    CLI::App* controller = add_controller(tool, controller_options);
    CLI::App* replay = add_replay(tool, replay_options);
    CLI::App* device = add_device(tool, device_options);
    CLI::App* demo = add_demo(tool, demo_options);
    CLI::App* record = add_record(tool, record_options);
    CLI::App* decode = add_decode(tool, decode_options);
    CLI::App* codegen = add_codegen(tool, codegen_options);
    for (CLI::App* command : {font, controller, replay, device, demo, record, decode, codegen}) {
        command->allow_extras();
    }

    // Arguments that nothing took are reported first, even when the parser
    // also found an error, because they are often its cause (a misspelt
    // option leaves a required one missing).
    std::optional<std::string> parse_error;
    try {
        tool.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return tool.exit(done);  // --help or --version
    } catch (const CLI::ParseError& error) {
        parse_error = describe(error);
    }
    const std::vector<CLI::App*> chosen = tool.get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    if (auto fault = unused_argument(tool.remaining(), "unknown subcommand")) {
        return usage_error(nullptr, *fault);
    }
    if (command != nullptr) {
        if (auto fault = unused_argument(command->remaining(), "unexpected argument")) {
            return usage_error(command, *fault);
        }
    }
    if (parse_error) return usage_error(command, *parse_error);
    if (command == nullptr) {
        return usage_error(
            nullptr,
            "missing subcommand: font, controller, replay, device, demo, record, decode or "
            "codegen");
    }
    if (command == demo && demo_options.port.empty() && !demo_options.stream_seconds) {
        return usage_error(demo, "needs a PORT or --stream SECONDS");
    }

    const int status = command == font         ? cli_font(font_options)
                       : command == controller ? cli_controller(controller_options)
                       : command == replay     ? cli_replay(replay_options)
                       : command == device     ? cli_device(device_options)
                       : command == demo       ? cli_demo(demo_options)
                       : command == record     ? cli_record(record_options)
                       : command == decode     ? cli_decode(decode_options)
                                               : cli_codegen(codegen_options);
    // Output lost on the way to standard output (a full disk) fails a run
    // that otherwise succeeded; a subcommand that failed has said why.
    if (status == 0 && !standard_output_written(command->get_name())) return 1;
    return status;
}
