// The commands that only read: devices, list and check.
#include "ctl/ctl_show.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_json.h"
#include "ctl/ctl_monitor.h"
#include "ctl/ctl_rows.h"

#include "formats/modeline.h"
#include "store/backup.h"
#include "store/registry.h"

#include <cstdio>
#include <cstring>

namespace {

// Writes text and then spaces up to `width` columns; a longer text is written whole.
void Padded(CtlPrinter& printer, const char* text, size_t width) {
    printer.Printable(text);
    for (size_t n = std::strlen(text); n < width; ++n)
        printer.Bytes(" ", 1);
}

// "yes", "no", "part" (a copy that ended before its last value; the next write takes it again)
// or "?" (its state could not be read).
const char* BackupText(const char* deviceName) {
    switch (ReadBackupState(deviceName)) {
    case BackupWhole:
        return "yes";
    case BackupAbsent:
        return "no";
    case BackupIncomplete:
        return "part";
    default:
        return "?";
    }
}

// One problem of a timing: "800x600@75: <what>".
struct CheckReport {
    CtlPrinter& out;
    uint32_t problems;

    void Problem(const CustomTiming& t) {
        ++problems;
        PrintModeKey(out, t.width, t.height, t.refresh);
        out.Text(": ");
    }
};

void CheckOrder(CheckReport& report, const CustomTiming& t, const char* side, uint32_t display,
                uint32_t syncStart, uint32_t syncWidth, uint32_t total) {
    if (display > syncStart) {
        report.Problem(t);
        report.out.Format("%s display %u beyond sync start %u\n", side, display, syncStart);
    }
    const uint64_t syncEnd = static_cast<uint64_t>(syncStart) + syncWidth;
    if (syncEnd > total) {
        report.Problem(t);
        report.out.Format("%s sync end ", side);
        report.out.Number(syncEnd);
        report.out.Format(" beyond total %u\n", total);
    }
}

// A figure against a range given in hundredths.
void CheckRange(CheckReport& report, const CustomTiming& t, const char* what, const char* unit,
                uint64_t value, uint64_t min, uint64_t max) {
    if (value >= min && value <= max)
        return;
    report.Problem(t);
    report.out.Format("%s ", what);
    report.out.Hundredths(value);
    report.out.Format(" %s outside ", unit);
    report.out.Hundredths(min);
    report.out.Text("-");
    report.out.Hundredths(max);
    report.out.EndLine();
}

// The words that must not be 0: the pixel clock and both totals.
void CheckZeros(CheckReport& report, const CustomTiming& t) {
    const struct {
        uint32_t word;
        const char* text;
    } zeros[] = {{PixelClock, "pixel clock is 0\n"},
                 {HorizontalTotal, "horizontal total is 0\n"},
                 {VerticalTotal, "vertical total is 0\n"}};
    for (const auto& zero : zeros) {
        if (t.block.words[zero.word] == 0) {
            report.Problem(t);
            report.out.Text(zero.text);
        }
    }
}

// The monitor's limits, given by the options or the monitor: the horizontal frequency (when the
// horizontal total is not 0), the refresh (when the figures are defined) and the pixel clock.
void CheckLimits(CheckReport& report, const CustomTiming& t, const MonitorLimits& o,
                 const RasterFigures& figures, int defined) {
    if (o.haveH && t.block.words[HorizontalTotal])
        CheckRange(report, t, "horizontal frequency", "kHz", figures.hFreqKHz100, o.hMin100,
                   o.hMax100);
    if (o.haveV && defined)
        CheckRange(report, t, "refresh", "Hz", figures.vFreqHz100, o.vMin100, o.vMax100);
    if (o.haveClock && figures.clockMHz100 > o.clock100) {
        report.Problem(t);
        report.out.Text("pixel clock ");
        report.out.Hundredths(figures.clockMHz100);
        report.out.Text(" MHz above ");
        report.out.Hundredths(o.clock100);
        report.out.EndLine();
    }
}

// 1 when an entry of the stored mode list covers the timing's mode.
int Listed(const CtlSnapshot& snapshot, const CustomTiming& t) {
    for (uint32_t i = 0; i < snapshot.modes.count; ++i)
        if (EntryCovers(snapshot.modes.items[i], static_cast<uint16_t>(t.width),
                        static_cast<uint16_t>(t.height), static_cast<uint16_t>(t.refresh)))
            return 1;
    return 0;
}

// Every problem of one stored timing, reported in this order: the raster's order, the words that
// are 0, the refresh, the missing non-standard mode, then the monitor's limits.
void CheckTiming(CheckReport& report, const CtlSnapshot& snapshot, const MonitorLimits& o,
                 const CtlStoredTiming& stored) {
    const CustomTiming& t = stored.timing;
    if (!stored.valid) {
        report.Problem(t);
        report.out.Text("checksum fails: the next load drops it\n");
        return;
    }
    const uint32_t* w = t.block.words;
    CheckOrder(report, t, "horizontal", w[HorizontalDisplay], w[HorizontalSyncStart],
               w[HorizontalSyncWidth], w[HorizontalTotal]);
    CheckOrder(report, t, "vertical", w[VerticalDisplay], w[VerticalSyncStart],
               w[VerticalSyncWidth], w[VerticalTotal]);
    CheckZeros(report, t);
    RasterFigures figures;
    const int defined = TimingFigures(t.block, &figures);
    if (defined && RefreshAstray(figures.vFreqHz100, t.refresh)) {
        report.Problem(t);
        report.out.Text("refresh ");
        report.out.Hundredths(figures.vFreqHz100);
        report.out.Format(" Hz is more than 1 Hz from the mode's %u\n",
                          static_cast<unsigned>(t.refresh));
    }
    if (!Listed(snapshot, t)) {
        report.Problem(t);
        report.out.Text("no non-standard mode for it\n");
    }
    CheckLimits(report, t, o, figures, defined);
}

// Reads the chosen device's driver key whole. CtlDone, or the exit code after saying why.
int ReadChosen(CtlRun& run, CtlSnapshot& snapshot) {
    const int selected = SelectDevice(run);
    if (selected != CtlDone)
        return selected;
    if (!snapshot.Read(run.edit.Key()))
        return FailRead(run);
    return CtlDone;
}

void PrintModeline(CtlPrinter& out, const CustomTiming& t) {
    Modeline modeline{};
    std::snprintf(modeline.name, sizeof modeline.name, "%ux%u@%u", static_cast<unsigned>(t.width),
                  static_cast<unsigned>(t.height), static_cast<unsigned>(t.refresh));
    char line[256];
    if (TimingBlockToRaster(t.block, &modeline.raster) &&
        FormatModeline(modeline, line, sizeof line)) {
        out.Text(line);
        out.EndLine();
        return;
    }
    out.Text("# ");
    out.Text(modeline.name);
    out.Text(": its sync end passes 32 bits; no modeline\n");
}

// A growable text that a printer writes into, for the check's report before it is shaped.
int AppendToArray(void* context, const char* text, size_t length) {
    CtlArray<char>& bytes = *static_cast<CtlArray<char>*>(context);
    for (size_t i = 0; i < length; ++i)
        if (!bytes.Push(text[i]))
            return 0;
    return 1;
}

// One device's row of `devices`: CtlDone, or the exit code when its key could not be read.
int DeviceRow(CtlRun& run, uint32_t i, CtlJson* json) {
    const char* name = run.devices.NameAt(i);
    CtlSnapshot snapshot;
    DriverKey device;
    device.readOnly = run.readOnly;
    const int read = device.SetPath(run.devices.PathAt(i)) && snapshot.Read(device);
    const char* backup = BackupText(name);
    if (json) {
        json->Open('{');
        json->Field("index", i);
        json->Field("name", name);
        json->Key("timings");
        read ? json->Number(snapshot.timings.count) : json->Null();
        json->Key("modes");
        read ? json->Number(snapshot.modes.count) : json->Null();
        json->Key("backup");
        *backup == '?' ? json->Null() : json->Bool(*backup == 'y');
        json->Field("driverKey", run.devices.PathAt(i));
        json->Close('}');
    } else {
        run.out.Format("%-5u  ", static_cast<unsigned>(i));
        Padded(run.out, name, 10);
        if (read)
            run.out.Format("  %7u  %5u  ", static_cast<unsigned>(snapshot.timings.count),
                           static_cast<unsigned>(snapshot.modes.count));
        else
            run.out.Format("  %7s  %5s  ", "?", "?");
        Padded(run.out, backup, 6);
        run.out.Text("  ");
        run.out.Printable(run.devices.PathAt(i));
        run.out.EndLine();
    }
    if (read)
        return CtlDone;
    run.deviceName = name;
    return FailRead(run);
}

void JsonTiming(CtlJson& json, const CtlStoredTiming& stored) {
    const CustomTiming& t = stored.timing;
    char key[40];
    FormatModeKey(t, key);
    json.Open('{');
    json.Field("mode", key);
    json.Field("width", t.width);
    json.Field("height", t.height);
    json.Field("refresh", t.refresh);
    const TimingWord order[8] = {HorizontalDisplay, HorizontalSyncStart, HorizontalSyncWidth,
                                 HorizontalTotal,   VerticalDisplay,     VerticalSyncStart,
                                 VerticalSyncWidth, VerticalTotal};
    const char* const names[8] = {"hDisplay", "hSyncStart", "hSyncWidth", "hTotal",
                                  "vDisplay", "vSyncStart", "vSyncWidth", "vTotal"};
    for (int i = 0; i < 8; ++i)
        json.Field(names[i], t.block.words[order[i]]);
    RasterFigures f;
    TimingFigures(t.block, &f);
    json.Key("clockMHz");
    json.Hundredths(f.clockMHz100);
    json.Key("hFreqKHz");
    t.block.words[HorizontalTotal] ? json.Hundredths(f.hFreqKHz100) : json.Null();
    json.Key("vFreqHz");
    t.block.words[HorizontalTotal] && t.block.words[VerticalTotal] ? json.Hundredths(f.vFreqHz100)
                                                                   : json.Null();
    char flags[48];
    FormatFlags(t.block.words[TimingFlagsWord], flags);
    json.Field("flags", flags);
    json.Key("checksumValid");
    json.Bool(stored.valid);
    json.Close('}');
}

void JsonModeKey(CtlJson& json, const NonStandardMode& mode) {
    json.Open('{');
    json.Field("width", static_cast<uint32_t>(mode.width));
    json.Field("height", static_cast<uint32_t>(mode.height));
    json.Field("refresh", static_cast<uint32_t>(mode.refresh));
    json.Close('}');
}

void ListJson(CtlRun& run, const CtlSnapshot& snapshot) {
    CtlJson json(run.out);
    json.Open('{');
    json.Field("device", run.deviceName);
    json.Key("timings");
    json.Open('[');
    for (uint32_t i = 0; i < snapshot.timings.count; ++i)
        JsonTiming(json, snapshot.timings.items[i]);
    json.Close(']');
    json.Key("modesWithoutTiming");
    json.Open('[');
    for (uint32_t i = 0; i < snapshot.modes.count; ++i)
        if (!snapshot.Answered(snapshot.modes.items[i]))
            JsonModeKey(json, snapshot.modes.items[i]);
    json.Close(']');
    json.Close('}');
}

void ListText(CtlRun& run, const CtlSnapshot& snapshot) {
    const CtlOptions& o = run.options;
    if (snapshot.timings.count == 0)
        run.out.Text(o.modelines ? "# no timings\n" : "no timings\n");
    else if (!o.modelines)
        PrintTimingHeader(run.out);
    for (uint32_t i = 0; i < snapshot.timings.count; ++i) {
        const CtlStoredTiming& stored = snapshot.timings.items[i];
        if (!o.modelines) {
            PrintTimingRow(run.out, stored.timing, stored.valid);
        } else if (stored.valid) {
            PrintModeline(run.out, stored.timing);
        } else {
            run.out.Text("# ");
            PrintModeKey(run.out, stored.timing.width, stored.timing.height, stored.timing.refresh);
            run.out.Text(": checksum fails: the next load drops it\n");
        }
    }
    for (uint32_t i = 0; i < snapshot.modes.count; ++i) {
        const NonStandardMode& mode = snapshot.modes.items[i];
        if (snapshot.Answered(mode))
            continue;
        run.out.Text(o.modelines ? "# non-standard mode without a timing: "
                                 : "non-standard mode without a timing: ");
        PrintModeKey(run.out, mode.width, mode.height, mode.refresh);
        run.out.Text(mode.refresh == 0 ? " (every refresh)\n" : "\n");
    }
}

// The check's report as JSON: each "mode: problem" line of the text report becomes an entry.
void CheckJson(CtlRun& run, const CtlArray<char>& report, const MonitorLimits& used,
               const CtlMonitor& monitor, const MonitorLimits& fromMonitor, uint32_t checked) {
    CtlJson json(run.out);
    json.Open('{');
    json.Field("device", run.deviceName);
    json.Key("limits");
    PrintJsonLimits(json, used);
    const int any = fromMonitor.haveH || fromMonitor.haveV || fromMonitor.haveClock;
    json.Field("monitorLimitsFrom", any ? monitor.LimitsName() : nullptr);
    json.Field("checked", checked);
    json.Key("problems");
    json.Open('[');
    for (uint32_t start = 0, i = 0; i < report.count; ++i) {
        if (report.items[i] != '\n')
            continue;
        uint32_t colon = start;
        while (colon + 1 < i && !(report.items[colon] == ':' && report.items[colon + 1] == ' '))
            ++colon;
        json.Open('{');
        json.Key("mode");
        json.Bytes(report.items + start, colon - start);
        json.Key("problem");
        json.Bytes(report.items + colon + 2, i - colon - 2);
        json.Close('}');
        start = i + 1;
    }
    json.Close(']');
    json.Close('}');
}

} // namespace

int CommandDevices(CtlRun& run) {
    const uint32_t count = EnumerateDisplayDevices(&run.devices);
    if (count == 0)
        return run.Fail(CtlSystem, "devices", "no display device answers as an Orvane device");
    int result = CtlDone;
    CtlJson json(run.out);
    if (run.options.json) {
        json.Open('{');
        json.Key("devices");
        json.Open('[');
    } else {
        run.out.Text("index  name        timings  modes  backup  driver key\n");
    }
    for (uint32_t i = 0; i < count; ++i) {
        const int row = DeviceRow(run, i, run.options.json ? &json : nullptr);
        if (row != CtlDone)
            result = row;
    }
    if (run.options.json) {
        json.Close(']');
        json.Close('}');
    }
    return result;
}

int CommandList(CtlRun& run) {
    CtlSnapshot snapshot;
    const int read = ReadChosen(run, snapshot);
    if (read != CtlDone)
        return read;
    if (!snapshot.IndexTimings())
        return run.Fail(CtlSystem, run.deviceName, "not enough memory");
    if (run.options.json)
        ListJson(run, snapshot);
    else
        ListText(run, snapshot);
    return CtlDone;
}

// The report is written whole to a buffer first, then as text or as JSON.
int CommandCheck(CtlRun& run) {
    CtlSnapshot snapshot;
    const int read = ReadChosen(run, snapshot);
    if (read != CtlDone)
        return read;
    CtlMonitor monitor;
    const int known = ReadMonitor(run, &monitor);
    if (known != CtlDone)
        return known;
    MonitorLimits fromMonitor;
    const MonitorLimits used = CheckedLimits(run.options, monitor, &fromMonitor);
    CtlArray<char> buffer;
    CtlPrinter lines(CtlStream{AppendToArray, &buffer});
    CheckReport report{lines, 0};
    for (uint32_t i = 0; i < snapshot.timings.count; ++i)
        CheckTiming(report, snapshot, used, snapshot.timings.items[i]);
    if (lines.Failed())
        return run.Fail(CtlSystem, run.deviceName, "not enough memory");
    const int code = report.problems ? CtlProblems : CtlDone;
    if (run.options.json) {
        CheckJson(run, buffer, used, monitor, fromMonitor, snapshot.timings.count);
        return code;
    }
    PrintLimitsLine(run, monitor, fromMonitor, used);
    run.out.Bytes(buffer.items, buffer.count);
    run.out.Format("checked %u timing%s of ", static_cast<unsigned>(snapshot.timings.count),
                   snapshot.timings.count == 1 ? "" : "s");
    run.out.Printable(run.deviceName);
    if (report.problems)
        run.out.Format(": %u problem%s\n", static_cast<unsigned>(report.problems),
                       report.problems == 1 ? "" : "s");
    else
        run.out.Text(": no problems\n");
    return code;
}
