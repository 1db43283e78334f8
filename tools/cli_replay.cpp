// placeholder, replaced by the subcommand
#include "tools/cli.h"
int cli_replay(const CliArgs&) { return 2; }
