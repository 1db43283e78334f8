// The Windows program's command line:
//
//   zezodavoru.exe [PORT | socket://HOST:PORT] [--record FILE] [--play FILE [--speed X]]
//
// PORT is a COM port number 1..255 (or its name, "COM5"), linked once the
// window shows, as "Open I/F" would with that port chosen (the choice is
// saved only if the user presses "Done"); a port that does not open leaves
// the link closed, as the setup dialog then shows. socket://HOST:PORT links
// a port served as raw TCP. An argument that names no port is ignored, as
// ever. --record writes the whole session to FILE as it goes, from before
// the link opens; --play shows a recording instead of linking, at X times
// its pace.
//
// The command line is read before the window is made, and its words are
// those of the Linux program: --help and --version answer in a message box
// (status 0), and a mistake is said in one (status 2).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ProgramOptions {
    std::optional<uint8_t> com_port;  // PORT: link this COM port at start
    std::string target;               // another target to link at start (socket://...)
    std::string record_path;          // --record: write the session there
    std::string play_path;            // --play: show this recording
    double speed = 1.0;               // --speed: of the playback
};

// With an exit status, the program shows `text` (help, version, or the
// mistake) and ends.
struct OptionsOutcome {
    std::optional<int> exit_status;
    std::string text;
};

// `arguments`: the words after the program's name.
OptionsOutcome parse_program_options(const std::vector<std::string>& arguments,
                                     ProgramOptions& options);
// The words of this program's command line after its name, as the C
// runtime split it.
std::vector<std::string> program_arguments();
