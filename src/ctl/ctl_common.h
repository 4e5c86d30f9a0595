// What the command files of velmoractl share: the parsed command line, the chosen device, the
// read-only view of a driver key and the steps every writing command takes. The printer is
// ctl_printer.h's; the command line's entry (ctl_command.h) uses this file, never the reverse.
#pragma once

#include "ctl/ctl_printer.h"
#include "devices/discovery.h"
#include "devices/monitor.h"
#include "formats/edid.h"
#include "formats/monitor_limits.h"
#include "formats/raster.h"
#include "store/device_edit.h"
#include "store/device_store.h"
#include "store/mode_list.h"
#include "store/timing.h"

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
    CtlArray<const char*> words; // the words of a command that takes many (fit, help)

    // Writes "velmoractl: <what>: <why><more><tail>" as one line to err and returns `code`.
    int Fail(int code, const char* what, const char* why, const char* more = nullptr,
             const char* tail = nullptr);
};

// Finds the display devices and opens the edit of the one that --device names (for reading only
// when the run only reads). CtlDone, or CtlSystem after
// saying why (no device, no such device).
int SelectDevice(CtlRun& run);

// Says why the chosen device's driver key could not be read (missing, no rights, or a failed read).
// Returns CtlSystem.
int FailRead(CtlRun& run);

// The first steps of every command that writes the driver key: the write-access probe, then the
// edit's load. CtlDone when the edit holds the whole key; otherwise the exit code, after saying
// why, with nothing written.
int PrepareWrite(CtlRun& run);
// The device chosen (SelectDevice), then PrepareWrite: what add, remove, import and fit begin with.
int SelectAndPrepareWrite(CtlRun& run);

// The last step: the edit's one save (the backup made whole, the timings, the mode list, the
// prune). CtlDone when all was written; CtlSystem, after saying why, otherwise.
int FinishWrite(CtlRun& run);

// A stored timing as the driver key holds it, valid or not.
struct CtlStoredTiming {
    CustomTiming timing;
    int valid; // its checksum holds
};

// The driver key read without changing anything: every timing value whose name scans, whatever
// its checksum, and the mode list's entries as stored.
class CtlSnapshot {
public:
    CtlSnapshot() : modeListPresent(0) {}
    CtlSnapshot(const CtlSnapshot&) = delete;
    CtlSnapshot& operator=(const CtlSnapshot&) = delete;

    // Reads the driver key with exactly the registry calls of a load of both lists.
    // 1 when it was read whole; 0 when it could not be opened, a value could not be read or
    // memory ran out (the arrays then hold what was read).
    int Read(const DriverKey& device);

    // 1 when a stored timing answers the entry (its resolution with its refresh, or any refresh
    // when the entry's is 0). Needs IndexTimings first.
    int Answered(const NonStandardMode& mode) const;
    // A sorted copy for the lookup. 0 without memory.
    int IndexTimings();

    CtlArray<CtlStoredTiming> timings;
    CtlArray<NonStandardMode> modes;
    int modeListPresent;

private:
    CtlArray<CtlModeKey> timingKeys;
};

// Writes a mode key as "800x600@75".
void PrintModeKey(CtlPrinter& printer, uint32_t width, uint32_t height, uint32_t refresh);

// The list's header and one row for a timing, as `list` and `add` print them.
void PrintTimingHeader(CtlPrinter& printer);
void PrintTimingRow(CtlPrinter& printer, const CustomTiming& timing, int valid);

// The figures of a stored timing (clock, horizontal and vertical frequency in hundredths).
// 1 when all three are defined (no total is 0).
int TimingFigures(const TimingBlock& block, RasterFigures* figures);

// 1 when a vertical frequency (Hz x 100) is more than 1 Hz away from a mode key's refresh: a
// timing that `check` reports and `add` refuses.
int RefreshAstray(uint64_t vFreqHz100, uint32_t refresh);

// The chosen device's monitor as the commands use it: what discovery found, its EDID read, and
// the limits it states.
struct CtlMonitor {
    MonitorData data;
    int edidRead;          // the source is an EDID that reads
    const char* edidError; // why an EDID source does not read; null otherwise
    EdidInfo edid;
    int haveLimits;
    MonitorLimits limits;

    // "EDID", "EDID override" or "setup file"; null without a source.
    const char* SourceName() const;
};

// Finds and reads the chosen device's monitor. CtlDone, or CtlSystem after saying that its data
// could not be read.
int ReadMonitor(CtlRun& run, CtlMonitor* monitor);

// The limits that check uses: each given on the command line wins, the others are the
// monitor's. *fromMonitor gets the monitor's that are used.
MonitorLimits CheckedLimits(const CtlOptions& o, const CtlMonitor& m, MonitorLimits* fromMonitor);

// The line that says where check's limits come from: "limits from the monitor's EDID: 30-83 kHz,
// 50-120 Hz, 140 MHz" for those of the monitor it uses, or that none are known at all; nothing
// when all come from the command line.
void PrintLimitsLine(CtlRun& run, const CtlMonitor& m, const MonitorLimits& fromMonitor,
                     const MonitorLimits& used);

// The monitor's limits that a stored timing is outside, written as "horizontal frequency 90.00
// kHz outside 30-83 kHz, ..." into text. Returns how many (0: inside, or no limits known).
int DescribeOutside(const TimingBlock& block, const MonitorLimits& limits, char (&text)[320]);

// Before a write: CtlDone when the timing is inside the monitor's limits, no limits are known, or
// --force is given; otherwise CtlRefused after naming the timing and the limits (prefixed with
// "line N: " of `path` for import). Nothing is printed on the way through.
int MonitorRefuses(CtlRun& run, const CtlMonitor& m, const CustomTiming& t, const char* path,
                   uint32_t line);

// ReadMonitor, then MonitorRefuses for the one timing of add.
int GateOnMonitor(CtlRun& run, CtlMonitor* monitor, const CustomTiming& t);

// After a write: the line that says what --force overrode for the timing ("written" or
// "imported"), nothing when it was inside.
void NoteForced(CtlRun& run, const CtlMonitor& m, const CustomTiming& t, const char* verb);

// After a write: the one line saying that no limits of the monitor are known, when none are.
void NoteNoLimits(CtlRun& run, const CtlMonitor& m);

// The commands, each given the run with its options parsed; each returns the exit code.
int CommandDevices(CtlRun& run);
int CommandList(CtlRun& run);
int CommandCheck(CtlRun& run);
int CommandAdd(CtlRun& run);
int CommandRemove(CtlRun& run);
int CommandExport(CtlRun& run);
int CommandImport(CtlRun& run);
int CommandRestore(CtlRun& run);
int CommandMonitor(CtlRun& run);
int CommandFit(CtlRun& run);
// add with --fit or --monitor, which ctl_fit.cpp serves.
int CommandAddFitted(CtlRun& run);
// help presets.
int CommandHelpTopic(CtlRun& run);

// Reads "WIDTHxHEIGHT@REFRESH" of `length` bytes, the refresh with up to three decimals (width
// and height 1 to 9999, refresh 1 to 1000). 1 and the figures; 0 when it does not read.
int ParseFitMode(const char* text, size_t length, uint32_t* width, uint32_t* height,
                 double* refresh);

// Reads "WIDTHxHEIGHT@REFRESH" (width and height 1 to 9999, refresh 1 to 9999). 1 and the key.
int ParseModeKey(const char* text, CtlModeKey* key);
