// The commands that only read (ctl_show.cpp): devices, list and check.
#pragma once

#include "ctl/ctl_common.h"

#include <cstdint>

int CommandDevices(CtlRun& run);
int CommandList(CtlRun& run);
int CommandCheck(CtlRun& run);
