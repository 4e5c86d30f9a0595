// The mode table for a game list (ctl_table.cpp): the table command.
#pragma once

#include "ctl/ctl_common.h"

// table: reads a game list (--mame or --from), chooses the mode table for a monitor, reports how
// each game is served and, unless --dry-run, writes the table with one load, one backup and one
// save.
int CommandTable(CtlRun& run);
