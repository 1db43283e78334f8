// The subcommands of zezodavoru-cli. Each takes the arguments after its own
// name and returns the process exit status: 0 on success, 2 on bad input
// (after one line on standard error naming the line and token, the position
// or the option at fault).
#pragma once

#include <string>
#include <vector>

using CliArgs = std::vector<std::string>;

int cli_font(const CliArgs& args);
int cli_controller(const CliArgs& args);
int cli_replay(const CliArgs& args);
int cli_device(const CliArgs& args);
