// The console program's entry: the argument vector in, the exit code out.
#include "ctl/ctl_command.h"

#include <cstdio>

// Output that could not be written (a full disk, a closed pipe) must not pass for a clean run.
int main(int argc, char** argv) {
    const CtlStream out = {CtlWriteToFile, stdout};
    const CtlStream err = {CtlWriteToFile, stderr};
    int code = RunVelmoraCtl(argc, argv, out, err);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("velmoractl: standard output: could not be written\n", stderr);
        if (code == CtlDone || code == CtlProblems)
            code = CtlSystem;
    }
    return code;
}
