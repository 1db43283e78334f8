// The command line through CLI11, with the values checked here so that
// every mistake ends the same way: one sentence naming it, status 2. The
// words that are no option are looked at in turn, and the first that names
// a port is taken.
#include <CLI/CLI.hpp>
#include <cstdlib>

#include "app/win32/main_window.h"
#include "app/win32/program_options.h"
#include "link/target.h"
#include "panel/playback_link.h"
#include "zezodavoru_version.h"

namespace {

OptionsOutcome failure(const std::string& message) {
    return {2, "zezodavoru: " + message + " (see zezodavoru --help)"};
}

// Takes `word` as the port to link, if it names one; false if it does not.
bool take_port(const std::string& word, ProgramOptions& options) {
    if (const std::optional<uint8_t> port = command_line_port(word.c_str())) {
        options.com_port = port;
        return true;
    }
    const std::optional<Target> target = parse_target(word);
    if (!target) return false;
    if (target->kind == TargetKind::com_port) {
        options.com_port = target->com_port;
        return true;
    }
    if (!is_network(*target)) return false;
    options.target = word;
    return true;
}

}  // namespace

OptionsOutcome parse_program_options(const std::vector<std::string>& arguments,
                                     ProgramOptions& options) {
    CLI::App app(
        "A remote display and keypad for devices of the Qor family: the device's 20 x 4 "
        "display and its keys, linked over a serial port.",
        "zezodavoru");
    std::vector<std::string> words;
    std::string speed;
    app.add_option("PORT", words,
                   "Link to the device at start: a COM port number (or COMn), or "
                   "socket://HOST:PORT.");
    app.add_option("--record", options.record_path, "Write the whole session to FILE as it goes.")
        ->type_name("FILE");
    app.add_option("--play", options.play_path, "Play the recording FILE instead of linking.")
        ->type_name("FILE");
    app.add_option("--speed", speed, "Play at X times the recording's pace (default 1).")
        ->type_name("X");
    app.set_version_flag("--version", "zezodavoru " ZEZ_VERSION);
    try {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {0, app.help()};
    } catch (const CLI::CallForVersion& version) {
        return {0, version.what()};
    } catch (const CLI::ParseError& error) {
        return failure(error.what());
    }
    for (const std::string& word : words) {
        if (take_port(word, options)) break;
    }
    const bool port = options.com_port || !options.target.empty();
    if (app.count("--record") > 0 && options.record_path.empty()) {
        return failure("--record needs a file");
    }
    if (app.count("--play") > 0 && options.play_path.empty()) return failure("--play needs a file");
    if (!options.play_path.empty() && port) return failure("--play cannot be used with a port");
    if (app.count("--speed") > 0) {
        if (options.play_path.empty()) return failure("--speed needs --play");
        char* end = nullptr;
        options.speed = std::strtod(speed.c_str(), &end);
        if (speed.empty() || *end != '\0' || !PlaybackLink::speed_allowed(options.speed)) {
            return failure("--speed must be a number above 0");
        }
    }
    return {};
}

std::vector<std::string> program_arguments() {
    std::vector<std::string> arguments;
    for (int i = 1; i < __argc; ++i) arguments.emplace_back(__argv[i]);
    return arguments;
}
