// The chosen device and its driver key (ctl_device.cpp): the choice by --device, the read-only view
// of the key, and the two steps around every write, the prepared load and the one save.
#pragma once

#include "ctl/ctl_common.h"
#include "store/device_store.h"
#include "store/mode_list.h"

#include <cstdint>

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
