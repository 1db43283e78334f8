// placeholder, replaced by the subcommand
#include "tools/cli.h"
int cli_device(const CliArgs&) { return 2; }
