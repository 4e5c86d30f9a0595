// The commands that change one mode: add and remove.
#include "ctl/ctl_edit.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_fit.h"
#include "ctl/ctl_monitor.h"
#include "ctl/ctl_rows.h"

#include "formats/modeline.h"
#include "formats/timing_calc.h"
#include "store/registry.h"

#include <cstdio>
#include <cstring>

namespace {

const char FitSources[] = "give one of --gtf, --cvt, --cvt-rb, --modeline, --fit and --monitor";

const char BadModeKey[] = "not a mode of the form WIDTHxHEIGHT@REFRESH (each 1 to 9999)";

// The timing of the one source that the options name. CtlDone and the block, or the exit code
// after saying why: a calculator that cannot give the mode is a usage error, a modeline that is
// refused is a refused input.
int MakeTiming(CtlRun& run, const CtlModeKey& key, TimingBlock* block) {
    const CtlOptions& o = run.options;
    const int sources = (o.gtf != 0) + (o.cvt != 0) + (o.cvtReduced != 0) + (o.modeline != nullptr);
    if (sources != 1)
        return run.Fail(CtlUsage, "add", FitSources);
    Raster raster{};
    const char* reason = "";
    const char* what = run.options.argument;
    int refused = CtlUsage;
    if (o.modeline) {
        Modeline modeline;
        ModelineError error{"", 0};
        if (!ParseModeline(o.modeline, std::strlen(o.modeline), &modeline, &error)) {
            char at[40] = "";
            if (error.offset)
                std::snprintf(at, sizeof at, " (at byte %u)", static_cast<unsigned>(error.offset));
            return run.Fail(CtlRefused, "--modeline", error.reason, at);
        }
        raster = modeline.raster;
        what = "--modeline";
        refused = CtlRefused;
    } else if (!(o.gtf ? ComputeGtfRaster(key.width, key.height, key.refresh, &raster, &reason)
                       : ComputeCvtRaster(key.width, key.height, key.refresh, o.cvtReduced, &raster,
                                          &reason))) {
        return run.Fail(CtlUsage, what, reason);
    }
    if (!RasterToTimingBlock(raster, block, &reason))
        return run.Fail(refused, what, reason);

    // A timing whose refresh is not the mode's would be flagged by check at once.
    RasterFigures figures;
    TimingFigures(*block, &figures);
    if (RefreshAstray(figures.vFreqHz100, key.refresh)) {
        char text[96], hz[32];
        if (!FormatHundredths(figures.vFreqHz100, hz, sizeof hz))
            hz[0] = '\0';
        std::snprintf(text, sizeof text, "the timing gives %s Hz, more than 1 Hz from %u", hz,
                      static_cast<unsigned>(key.refresh));
        return run.Fail(refused, what, text);
    }
    return CtlDone;
}

// 1 when the driver key holds a value of the mode's timing name (one whose checksum fails, which
// the load left out), 0 when it does not, -1 when that could not be learnt.
int StoredUnderName(const DriverKey& device, const CtlModeKey& key) {
    char name[RegistryBufferSize];
    if (!FormatTimingValueName(key.width, key.height, key.refresh, name, sizeof name))
        return 0;
    RegistryKey driverKey;
    if (!device.Open(&driverKey))
        return -1;
    uint32_t length = 0;
    int missing = 0;
    const int found = RegistryQueryValue(driverKey, name, nullptr, nullptr, &length, &missing);
    RegistryCloseKey(driverKey);
    return found ? 1 : missing ? 0 : -1;
}

// The timing that `add` asks for, from its mode key and its source (--gtf, --cvt, --cvt-rb or
// --modeline). CtlDone, or the exit code after saying why.
int ComputeAddedTiming(CtlRun& run, CtlModeKey* key, CustomTiming* timing) {
    if (!ParseModeKey(run.options.argument, key))
        return run.Fail(CtlUsage, run.options.argument, BadModeKey);
    timing->width = key->width;
    timing->height = key->height;
    timing->refresh = key->refresh;
    return MakeTiming(run, *key, &timing->block);
}

} // namespace

int CommandAdd(CtlRun& run) {
    const CtlOptions& o = run.options;
    if (o.fitPreset || o.monitorText) {
        if (o.gtf || o.cvt || o.cvtReduced || o.modeline || (o.fitPreset && o.monitorText))
            return run.Fail(CtlUsage, "add", FitSources);
        return CommandAddFitted(run);
    }
    if (o.haveMinClock)
        return run.Fail(CtlUsage, "--min-clock", "goes with --fit or --monitor");
    CtlModeKey key;
    CustomTiming timing;
    const int made = ComputeAddedTiming(run, &key, &timing);
    if (made != CtlDone)
        return made;

    const int prepared = SelectAndPrepareWrite(run);
    if (prepared != CtlDone)
        return prepared;
    if (run.edit.Find(key.width, key.height, key.refresh) && !run.options.replace)
        return run.Fail(CtlUsage, run.options.argument,
                        "the device holds this mode already; give --replace to replace it");
    CtlMonitor monitor;
    const int gated = GateOnMonitor(run, &monitor, timing);
    if (gated != CtlDone)
        return gated;
    if (!run.edit.Put(timing))
        return run.Fail(CtlSystem, run.deviceName, "not enough memory; nothing was written");
    const int finished = FinishWrite(run);
    if (finished != CtlDone)
        return finished;
    NoteNoLimits(run, monitor);
    NoteForced(run, monitor, timing, "written");
    PrintTimingHeader(run.out);
    PrintTimingRow(run.out, timing, 1);
    return CtlDone;
}

int CommandRemove(CtlRun& run) {
    CtlModeKey key;
    if (!ParseModeKey(run.options.argument, &key))
        return run.Fail(CtlUsage, run.options.argument, BadModeKey);
    const int prepared = SelectAndPrepareWrite(run);
    if (prepared != CtlDone)
        return prepared;
    if (!run.edit.Remove(key.width, key.height, key.refresh)) {
        // A timing whose checksum fails is not in the list, yet it is stored: the save's prune
        // deletes it.
        const int stored = StoredUnderName(run.edit.Key(), key);
        if (stored < 0)
            return FailRead(run);
        if (!stored)
            return run.Fail(CtlUsage, run.options.argument, "the device holds no such mode");
    }
    const int finished = FinishWrite(run);
    if (finished != CtlDone)
        return finished;
    run.out.Text("removed ");
    PrintModeKey(run.out, key.width, key.height, key.refresh);
    run.out.Text(" from ");
    run.out.Printable(run.deviceName);
    run.out.EndLine();
    return CtlDone;
}
