// Fitting modes to a CRT (ctl_fit.cpp): fit, add with --fit or --monitor, and help presets.
#pragma once

#include "ctl/ctl_common.h"
#include "formats/crt_fit.h"

#include <cstdint>

// The monitor of a preset or --monitor, exactly one of them (`command` names the run in the
// refusal). CtlDone, or CtlUsage after saying why.
int ChooseCrtMonitor(CtlRun& run, const char* command, const char* preset, CrtMonitor* monitor);

int CommandFit(CtlRun& run);
// add with --fit or --monitor.
int CommandAddFitted(CtlRun& run);
// help presets.
int CommandHelpTopic(CtlRun& run);
