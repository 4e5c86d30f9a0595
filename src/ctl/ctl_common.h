// What every command file of velmoractl shares (ctl_common.cpp): the growable array, the mode key,
// the parsed command line and the run with its error line. The printer is ctl_printer.h's; the
// command line's entry (ctl_command.h) uses this file, never the reverse.
#pragma once

#include "ctl/ctl_printer.h"
#include "devices/discovery.h"
#include "store/device_edit.h"

#include <cstddef>
#include <cstdint>
#include <new>

// A growable array of plain records, allocated without throwing.
template <typename T> class CtlArray {
public:
    CtlArray() : items(nullptr), count(0), capacity(0) {}
    ~CtlArray() { delete[] items; }
    CtlArray(const CtlArray&) = delete;
    CtlArray& operator=(const CtlArray&) = delete;

    // 1 when appended; 0 without memory (the array unchanged).
    int Push(const T& item) {
        if (count == capacity) {
            const uint32_t grown = capacity ? capacity * 2 : 16;
            if (grown <= capacity)
                return 0;
            T* larger = new (std::nothrow) T[grown];
            if (!larger)
                return 0;
            for (uint32_t i = 0; i < count; ++i)
                larger[i] = items[i];
            delete[] items;
            items = larger;
            capacity = grown;
        }
        items[count++] = item;
        return 1;
    }
    void Clear() { count = 0; }

    T* items;
    uint32_t count;

private:
    uint32_t capacity;
};

// A mode key: width x height @ refresh.
struct CtlModeKey {
    uint32_t width;
    uint32_t height;
    uint32_t refresh;
};

// The order of mode keys, by width, height, then refresh.
bool CtlModeKeyBefore(const CtlModeKey& a, const CtlModeKey& b);

// The command line as parsed.
struct CtlOptions {
    const char* device;   // --device, null for the first device
    const char* argument; // the command's one argument, null when none was given
    int modelines;
    int gtf;
    int cvt;
    int cvtReduced;
    const char* modeline; // --modeline's text, null when not given
    int replace;
    int force;
    int haveHFreq;
    int haveVFreq;
    int haveMaxClock;
    uint64_t hFreqMin100; // kHz x 100
    uint64_t hFreqMax100;
    uint64_t vFreqMin100; // Hz x 100
    uint64_t vFreqMax100;
    uint64_t maxClock100;    // MHz x 100
    int json;                // --json: one JSON document on standard output
    const char* fitPreset;   // add's --fit
    const char* monitorText; // --monitor
    int haveMinClock;
    uint64_t minClock100; // --min-clock, MHz x 100
    const char* fromFile; // fit's --from
    int skipBad;          // fit's --skip-bad
    const char* mameFile; // table's --mame
    int haveMaxModes;
    uint32_t maxModes;   // table's --max-modes
    int vertical;        // table's --vertical
    int dryRun;          // table's --dry-run
    uint32_t superWidth; // table's --super-width, 0 when not given
};

// One run of a command: the streams, the options and, once chosen, the device.
struct CtlRun {
    CtlRun(CtlStream out, CtlStream err)
        : out(out), err(err), options(), deviceName(nullptr), systemName(nullptr), readOnly(0) {}

    CtlPrinter out;
    CtlPrinter err;
    CtlOptions options;
    DisplayDeviceList devices;
    const char* deviceName;      // the chosen device's short name, owned by devices
    const char* systemName;      // its system name (\\.\DISPLAY1), owned by devices
    int readOnly;                // the command only reads: keys are opened for reading only
    DeviceEdit edit;             // the chosen device's edit, its key opened as readOnly says
    CtlArray<const char*> words; // the words of a command that takes many (fit, table, help)

    // Writes "velmoractl: <what>: <why><more><tail>" as one line to err and returns `code`.
    int Fail(int code, const char* what, const char* why, const char* more = nullptr,
             const char* tail = nullptr);
};

// 1 when a vertical frequency (Hz x 100) is more than 1 Hz away from a mode key's refresh: a
// timing that `check` reports and `add` refuses.
int RefreshAstray(uint64_t vFreqHz100, uint32_t refresh);

// Reads "WIDTHxHEIGHT@REFRESH" (width and height 1 to 9999, refresh 1 to 9999). 1 and the key.
int ParseModeKey(const char* text, CtlModeKey* key);
