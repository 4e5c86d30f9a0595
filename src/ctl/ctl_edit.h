// The commands that change one mode (ctl_edit.cpp): add and remove.
#pragma once

#include "ctl/ctl_common.h"

#include <cstdint>

int CommandAdd(CtlRun& run);
int CommandRemove(CtlRun& run);
