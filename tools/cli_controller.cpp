// zezodavoru-cli controller [--geometry COLSxROWS] [--rom N] [SCRIPT]
//
// Creates a controller (20 x 4, ROM select 1 unless told otherwise; 115x64
// gives the graphic variant) and runs a script from the file or standard
// input against it:
//   i HH     execute an instruction byte
//   d HH     write a data byte
//   r        read a data byte and print it as two hex digits
//   tick N   run N ticks of the blink clock
//   dump     print the controller dump
// At the end of the script the dump is printed once more. Commands run as
// they are read, so output printed before a bad token stands. The blink
// clock belongs to the run, like the controller: it starts at rest and the
// dump renders with its phase.
#include <cstdio>
#include <string>

#include "protocol/blink_clock.h"
#include "tools/cli.h"
#include "tools/cli_common.h"

namespace {

void run_ticks(BlinkClock& blink, uint32_t count) {
    // The clock repeats every 15 ticks once it has ticked, so a long run
    // ends in the same state as a short one with the same remainder.
    if (count > 30) count = 15 + count % 15;
    for (uint32_t n = 0; n < count; ++n) blink_tick(blink);
}

// The start of an error report on a script token.
std::string at_line(const ScriptToken& token) {
    return "controller: line " + std::to_string(token.line);
}

int run_script(LcdController& c, const std::vector<ScriptToken>& tokens) {
    BlinkClock blink;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const ScriptToken& command = tokens[i];
        const std::string& name = command.text;
        if (name == "r") {
            std::printf("%02x\n", lcd_read_data(c));
        } else if (name == "dump") {
            // A script may ask for thousands of dumps: stop at the first
            // that cannot be written.
            print_dump(c, blink.phase);
            if (!standard_output_written("controller")) return 1;
        } else if (name == "i" || name == "d" || name == "tick") {
            if (i + 1 == tokens.size()) {
                return report_bad_input(at_line(command) + ": missing argument after '" + name +
                                        "'");
            }
            const ScriptToken& argument = tokens[++i];
            if (name == "tick") {
                uint32_t count = 0;
                if (!parse_decimal(argument.text, 0xFFFFFFFF, count)) {
                    return report_bad_input(at_line(argument) + ": malformed tick count '" +
                                            argument.text + "'");
                }
                run_ticks(blink, count);
                continue;
            }
            uint8_t byte = 0;
            if (!parse_hex_byte(argument.text, byte)) {
                return report_bad_input(at_line(argument) + ": malformed byte '" + argument.text +
                                        "'");
            }
            if (name == "i") {
                lcd_command(c, byte);
            } else {
                lcd_write_data(c, byte);
            }
        } else {
            return report_bad_input(at_line(command) + ": unknown token '" + name + "'");
        }
    }
    print_dump(c, blink.phase);
    return 0;
}

}  // namespace

int cli_controller(const ControllerOptions& options) {
    std::string script;
    if (!read_script(options.script_path, script)) {
        return report_bad_input("controller: cannot read script '" + options.script_path + "'");
    }
    std::unique_ptr<LcdController> c =
        lcd_create(options.columns, options.rows, options.rom_select);
    if (!c) {
        return report_failure("controller: cannot create the controller");
    }
    return run_script(*c, tokenize_script(script));
}
