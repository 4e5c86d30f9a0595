// velmoractl, the console companion: its whole command line in, its exit code out. The program's
// entry only hands over the argument vector and two streams; everything else lives here, so that
// it runs the same against the in-memory registry and scripted display services.
//
//   velmoractl [--device NAME|INDEX] COMMAND [ARGUMENT] [OPTIONS]
//
// Output goes to `out`, errors to `err` as one line each: "velmoractl: <what>: <why>".
// Exit codes: CtlDone 0 (done, or a clean check), CtlProblems 1 (check found problems), CtlUsage 2,
// CtlSystem 3 (no Orvane device, no write access, the registry or an output file could not be
// read or written), CtlRefused 4 (an input file or modeline refused). The exit codes and the
// stream are declared in ctl_printer.h, which the command files share without this header.
#pragma once

#include "ctl/ctl_printer.h"

// Runs one command line; argv[0] is the program's name and is not read. Returns the exit code.
int RunVelmoraCtl(int argc, const char* const* argv, CtlStream out, CtlStream err);
