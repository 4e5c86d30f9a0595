// The commands that move a whole set (ctl_transfer.cpp): export, import and restore.
#pragma once

#include "ctl/ctl_common.h"

#include <cstdint>

int CommandExport(CtlRun& run);
int CommandImport(CtlRun& run);
int CommandRestore(CtlRun& run);
