// The Linux program's command line, parsed without a GUI so that it can be
// tested and answered (--help, --version, errors) before any window exists.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

struct ProgramOptions {
    std::string port;                     // link this port at start, as the system names it
    bool demo = false;                    // link the built-in demo device
    std::optional<int32_t> color_scheme;  // overrides the saved scheme
    std::optional<uint8_t> size_preset;   // overrides the saved size
    std::string record_path;              // --record: write the session there
    std::string play_path;                // --play: show this recording
    double speed = 1.0;                   // --speed: of the playback
};

// What the command line asks for besides a window: with an exit status, the
// program prints `text` (help or version on standard output, one error line
// on standard error) and ends.
struct OptionsOutcome {
    std::optional<int> exit_status;
    QString text;
};

// `arguments` includes the program name first, each one's bytes as Latin-1
// characters (QString::fromLatin1), so that a path that is not valid text
// in the locale's encoding comes back byte for byte.
OptionsOutcome parse_program_options(const QStringList& arguments, ProgramOptions& options);
