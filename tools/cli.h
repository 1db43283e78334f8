// The subcommands of zezodavoru-cli and the options each one runs with.
//
// The command line is read in one place (zezodavoru_cli.cpp), which checks
// every option value there and fills one of the option sets below, so a
// subcommand only ever sees values it can use. Each subcommand returns the
// process exit status: 0 on success, 1 when a picture cannot be written or
// the line fails, 2 on bad input (after one line on standard error naming
// the line and token or the position at fault).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// font: the fonts it can list.
enum class FontChoice { rom0, rom1, wide8x16 };

struct FontOptions {
    FontChoice font = FontChoice::rom1;
    std::string png_path;  // empty: no picture sheet
};

struct ControllerOptions {
    int32_t columns = 20;
    int32_t rows = 4;
    uint32_t rom_select = 1;
    std::string script_path;  // empty or "-": standard input
};

struct ReplayOptions {
    bool hex = false;
    uint32_t ticks = 0;
    std::string png_path;     // empty: no picture
    uint8_t size_preset = 0;  // 0: the unscaled 488 x 180 image
    int32_t color_scheme = 1;
    std::string input_path;    // empty or "-": standard input
    std::optional<double> at;  // --at: a recording up to this time
};

// record: a link recorded with no window.
struct RecordOptions {
    std::string target;
    std::string path;
    std::optional<double> seconds;  // --for
};

// decode: a byte stream or a recording explained, or a link followed.
struct DecodeOptions {
    bool hex = false;
    bool json = false;
    std::string input_path;         // empty or "-": standard input
    std::string follow;             // --follow TARGET: empty for none
    std::optional<double> seconds;  // --for, with --follow
};

// codegen: a test written from a recording.
struct CodegenOptions {
    std::string recording;     // "-": standard input
    std::string output = "-";  // -o: "-" for standard output
};

struct DeviceOptions {
    std::string port;
    std::string file;  // empty or "-": standard input
    bool hex = false;
    std::optional<double> seconds;  // --for
    std::string record_path;        // --record: empty for none
};

// demo: the built-in demo device, played live on a port or written out as
// the stream it sends (exactly one of the two).
struct DemoOptions {
    std::string port;                      // empty: --stream
    std::optional<double> stream_seconds;  // --stream: how much of the stream
    bool hex = false;                      // --stream as hex text with ticks
    uint32_t seed = 1;
    std::optional<double> seconds;  // --for: how long to play on the port
    std::string record_path;        // --record: empty for none
};

int cli_font(const FontOptions& options);
int cli_controller(const ControllerOptions& options);
int cli_replay(const ReplayOptions& options);
int cli_device(const DeviceOptions& options);
int cli_demo(const DemoOptions& options);
int cli_record(const RecordOptions& options);
int cli_decode(const DecodeOptions& options);
int cli_codegen(const CodegenOptions& options);
