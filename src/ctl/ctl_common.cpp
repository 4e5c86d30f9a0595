// What the command files share and no one of them owns: the run's error line, the mode key's
// order and its parser, and the refresh rule of add and check.
#include "ctl/ctl_common.h"

namespace {

const char ProgramName[] = "velmoractl";

} // namespace

int CtlRun::Fail(int code, const char* what, const char* why, const char* more, const char* tail) {
    err.Text(ProgramName);
    err.Text(": ");
    err.Printable(what);
    err.Text(": ");
    err.Printable(why);
    if (more)
        err.Printable(more);
    if (tail)
        err.Printable(tail);
    err.EndLine();
    return code;
}

bool CtlModeKeyBefore(const CtlModeKey& a, const CtlModeKey& b) {
    if (a.width != b.width)
        return a.width < b.width;
    if (a.height != b.height)
        return a.height < b.height;
    return a.refresh < b.refresh;
}

// Each of the three numbers: one to four digits, not 0; the letter x in either case.
int ParseModeKey(const char* text, CtlModeKey* key) {
    uint32_t numbers[3] = {0, 0, 0};
    const char separators[3] = {'x', '@', '\0'};
    const char* p = text;
    for (int i = 0; i < 3; ++i) {
        int digits = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (++digits > 4)
                return 0;
            numbers[i] = numbers[i] * 10 + static_cast<uint32_t>(*p - '0');
        }
        if (digits == 0 || numbers[i] == 0)
            return 0;
        const char separator = *p == 'X' ? 'x' : *p;
        if (separator != separators[i])
            return 0;
        if (i < 2)
            ++p;
    }
    key->width = numbers[0];
    key->height = numbers[1];
    key->refresh = numbers[2];
    return 1;
}

int RefreshAstray(uint64_t vFreqHz100, uint32_t refresh) {
    const uint64_t wanted = static_cast<uint64_t>(refresh) * 100;
    const uint64_t off = vFreqHz100 > wanted ? vFreqHz100 - wanted : wanted - vFreqHz100;
    return off > 100;
}
