// zezodavoru-cli: the native command-line tool for firmware developers and
// for the tests. It dispatches to one subcommand per file.
#include <cstdio>
#include <cstring>

#include "tools/cli.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zezodavoru-cli font|controller|replay|device ...\n");
        return 2;
    }
    const CliArgs args(argv + 2, argv + argc);
    const char* command = argv[1];
    if (std::strcmp(command, "font") == 0) return cli_font(args);
    if (std::strcmp(command, "controller") == 0) return cli_controller(args);
    if (std::strcmp(command, "replay") == 0) return cli_replay(args);
    if (std::strcmp(command, "device") == 0) return cli_device(args);
    std::fprintf(stderr, "unknown subcommand: %s\n", command);
    return 2;
}
