// placeholder, replaced by the subcommand
#include "tools/cli.h"
int cli_controller(const CliArgs&) { return 2; }
