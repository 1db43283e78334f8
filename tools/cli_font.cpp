// placeholder, replaced by the subcommand
#include "tools/cli.h"
int cli_font(const CliArgs&) { return 2; }
