// The chosen device's monitor (ctl_monitor.cpp): its data and limits as the commands use them,
// the gate before a write, and the monitor command.
#pragma once

#include "ctl/ctl_common.h"
#include "ctl/ctl_json.h"
#include "devices/monitor.h"
#include "formats/edid.h"
#include "formats/monitor_limits.h"
#include "store/timing.h"

#include <cstdint>

// The chosen device's monitor as the commands use it: what discovery found, its EDID read, and
// the limits it states.
struct CtlMonitor {
    MonitorData data;
    int edidRead;          // the source is an EDID that reads
    const char* edidError; // why an EDID source does not read; null otherwise
    EdidInfo edid;
    int haveLimits;
    int limitsOrigin; // LimitsOrigin: the EDID's, or the setup file's when the EDID does not read
    MonitorLimits limits;

    // "EDID", "EDID override" or "setup file"; null without a source.
    const char* SourceName() const;
    // The name of where the limits came from, as SourceName.
    const char* LimitsName() const;
    // Why the EDID does not read when the setup file's limits stand in for it; null otherwise.
    const char* EdidFault() const;
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

// The limits as a JSON object: "hFreqKHz" and "vFreqHz" as {"min", "max"} and "maxClockMHz",
// each null when not known.
void PrintJsonLimits(CtlJson& json, const MonitorLimits& limits);

// Prints the chosen device's monitor, its EDID and its limits.
int CommandMonitor(CtlRun& run);
