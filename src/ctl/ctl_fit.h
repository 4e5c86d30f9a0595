// Fitting modes to a CRT (ctl_fit.cpp): fit, add with --fit or --monitor, and help presets.
#pragma once

#include "ctl/ctl_common.h"

#include <cstdint>

int CommandFit(CtlRun& run);
// add with --fit or --monitor.
int CommandAddFitted(CtlRun& run);
// help presets.
int CommandHelpTopic(CtlRun& run);
