// Modes fitted to a CRT's ranges: add's --fit and --monitor, and fit for many modes at once.
#include "ctl/ctl_fit.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_monitor.h"
#include "ctl/ctl_rows.h"

#include "formats/crt_fit.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Digits from *p up to `end`: at most `most` of them, at least one. 1 and the number.
int ReadDigits(const char** p, const char* end, int most, uint32_t* value) {
    int digits = 0;
    *value = 0;
    for (; *p < end && **p >= '0' && **p <= '9'; ++*p) {
        if (++digits > most)
            return 0;
        *value = *value * 10 + static_cast<uint32_t>(**p - '0');
    }
    return digits > 0;
}

// One mode of a fit, as the caller gave it.
struct FitRequest {
    uint32_t width, height;
    double refresh;
    const char* text; // the word or line as given, for messages
};

const char PresetsHelp[] =
    "Monitor presets for add --fit and fit, and the custom monitor text of --monitor.\n"
    "\n"
    "A monitor is one or more bands separated by ';'. A band is the name of a one-band preset\n"
    "(below), or fourteen numbers separated by commas:\n"
    "  H kHz range, V Hz range,\n"
    "  H front porch, sync, back porch in us, V front porch, sync, back porch in ms,\n"
    "  H polarity, V polarity (1 positive, 0 negative),\n"
    "  progressive lines min, max, interlaced lines min, max (0,0 for none)\n"
    "A range is MIN-MAX or one figure, which is taken within 0.5 % either way. Accepted: H 14\n"
    "to 540 kHz, V 40 to 200 Hz, every porch and sync above 0 and together shorter than a line\n"
    "and a frame, progressive lines reaching 128 at least. For example:\n"
    "  --monitor \"15.625-16.2,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576\"\n"
    "\n"
    "A mode is fitted to the first band that takes it progressive (double-scan when twice its\n"
    "lines are in range and need fewer added lines), else interlaced. --min-clock makes the\n"
    "width the fewest whole times wider that bring the stored, rounded clock to the card's\n"
    "lowest.\n"
    "\n"
    "ntsc and pal give the broadcast rasters, which hit a TV's line rate exactly: 525 (NTSC)\n"
    "or 625 (PAL) lines interlaced, 262 or 263 and 312 or 313 progressive, whichever is nearer\n"
    "the refresh. A width whose total lies within 3 % of a broadcast total (858 or 864 at\n"
    "13.5 MHz, its half at 6.75 MHz, its multiples: 1716 or 1728 at 27 MHz...) takes that total\n"
    "at its exact clock, keeping BT.601's blanking at least (691-720 wide at 13.5 MHz for NTSC,\n"
    "682-720 for PAL): 720x576@50 is 864 x 625 at 13.50 MHz, 720x480@59.94 858 x 525. Other\n"
    "widths keep the line rate within 0.5 %. vga takes the sync polarities from the lines\n"
    "drawn: 350 +hsync -vsync, 400 -hsync +vsync, 480 and any other -hsync -vsync; a --monitor\n"
    "text keeps the polarities it states. The presets:\n";

const char BadFitMode[] =
    ": not a mode of the form WIDTHxHEIGHT@REFRESH (1 to 9999, refresh up to three decimals)";

// The fit of one mode as a stored timing under its key: the fitted width, the rate aimed at
// rounded (the request itself when the monitor takes it). 1, or 0 with the reason.
int FitToTiming(const CrtMonitor& monitor, const CtlOptions& o, const FitRequest& q,
                CustomTiming* timing, CrtFit* fit, CrtReason* why) {
    const CrtRequest request = {q.width, q.height, q.refresh,
                                o.haveMinClock ? o.minClock100 * 10000 : 0};
    if (!FitCrtMode(monitor, request, fit, why))
        return 0;
    if (fit->raster.hDisplay > 9999) {
        std::snprintf(why->text, sizeof why->text, "the widened width passes 9999");
        return 0;
    }
    timing->width = fit->raster.hDisplay;
    timing->height = q.height;
    timing->refresh = static_cast<uint32_t>(std::floor(fit->vRateHz + 0.5));
    const char* reason = "";
    if (!RasterToTimingBlock(fit->raster, &timing->block, &reason)) {
        std::snprintf(why->text, sizeof why->text, "%s", reason);
        return 0;
    }
    return 1;
}

// A figure as sign, whole units and a part in `scale`ths, printed by integers: the console
// program carries no floating-point formatting.
struct Fixed {
    const char* sign;
    unsigned whole, part;
};
Fixed ToFixed(double value, unsigned scale) {
    const double magnitude = value < 0 ? -value : value;
    const uint64_t scaled = magnitude < 4e9
                                ? static_cast<uint64_t>(std::floor(magnitude * scale + 0.5))
                                : 4000000000ull;
    return Fixed{value < 0 && scaled ? "-" : "+", static_cast<unsigned>(scaled / scale),
                 static_cast<unsigned>(scaled % scale)};
}

// "320x240@60: 424x261 total, 15.660 kHz, 60.001 Hz (+0.001 Hz, +0.00 %), interlaced"; then
// double-scan, a broadcast raster, a rate other than the request, a width widened.
void PrintFitLine(CtlPrinter& out, const FitRequest& q, const CrtFit& f) {
    out.Printable(q.text);
    const double off = f.realRefreshHz - q.refresh;
    const Fixed h = ToFixed(f.hFreqKHz, 1000), v = ToFixed(f.realRefreshHz, 1000),
                hz = ToFixed(off, 1000), pc = ToFixed(100 * off / q.refresh, 100),
                rate = ToFixed(f.vRateHz, 1000);
    out.Format(": %ux%u total, %u.%03u kHz, %u.%03u Hz (%s%u.%03u Hz, %s%u.%02u %%)",
               static_cast<unsigned>(f.raster.hTotal), static_cast<unsigned>(f.raster.vTotal),
               h.whole, h.part, v.whole, v.part, hz.sign, hz.whole, hz.part, pc.sign, pc.whole,
               pc.part);
    if (f.raster.flags & RasterInterlace)
        out.Text(", interlaced");
    if (f.raster.flags & RasterDoubleScan)
        out.Text(", double-scan");
    if (f.broadcast)
        out.Text(", broadcast raster");
    if (f.atLimit)
        out.Format(", at the monitor's limit of %u.%03u Hz", rate.whole, rate.part);
    else if (f.vRateHz != q.refresh) // a whole multiple of the refresh
        out.Format(", at %u.%03u Hz, %u times the request", rate.whole, rate.part,
                   static_cast<unsigned>(std::floor(f.vRateHz / q.refresh + 0.5)));
    if (f.widthFactor > 1)
        out.Format(", %u wide (x%u) for --min-clock", static_cast<unsigned>(f.raster.hDisplay),
                   static_cast<unsigned>(f.widthFactor));
    out.EndLine();
}

// Reads "WIDTHxHEIGHT@REFRESH" of `length` bytes, the refresh with up to three decimals (width
// and height 1 to 9999, refresh 1 to 1000). 1 and the figures; 0 when it does not read.
int ParseFitMode(const char* text, size_t length, uint32_t* width, uint32_t* height,
                 double* refresh) {
    const char* p = text;
    const char* end = text + length;
    uint32_t w = 0, h = 0, whole = 0, fraction = 0;
    if (!ReadDigits(&p, end, 4, &w) || p == end || (*p != 'x' && *p != 'X'))
        return 0;
    ++p;
    if (!ReadDigits(&p, end, 4, &h) || p == end || *p++ != '@' || !ReadDigits(&p, end, 4, &whole))
        return 0;
    double scale = 1;
    if (p < end && *p == '.') {
        ++p;
        const char* start = p;
        if (!ReadDigits(&p, end, 3, &fraction))
            return 0;
        for (; start < p; ++start)
            scale *= 10;
    }
    const double r = whole + fraction / scale;
    if (p != end || w == 0 || h == 0 || r < 1 || r > 1000)
        return 0;
    *width = w, *height = h, *refresh = r;
    return 1;
}

// A mode fitted, with what was asked for it.
struct Fitted {
    FitRequest request;
    CrtFit fit;
    CustomTiming timing;
};

// A mode left out by --skip-bad, and why.
struct LeftOut {
    const char* text;
    CrtReason why;
};

// The modes of a fit: its words and --from's lines, the monitor and, once fitted, the timings
// and those left out.
struct FitSet {
    CrtMonitor monitor;
    CtlArray<char> file; // --from's text, each line ended by a zero, which requests point into
    CtlArray<FitRequest> requests;
    CtlArray<Fitted> fitted;
    CtlArray<LeftOut> leftOut;
};

// One mode word or file line (`line` 0 for a word) into the set. CtlDone, or the exit code said.
int TakeRequest(CtlRun& run, FitSet& set, const char* text, uint32_t line) {
    FitRequest q = {0, 0, 0, text};
    if (!ParseFitMode(text, std::strlen(text), &q.width, &q.height, &q.refresh)) {
        if (!line)
            return run.Fail(CtlUsage, text, BadFitMode + 2);
        char at[32];
        std::snprintf(at, sizeof at, "line %u: ", static_cast<unsigned>(line));
        return run.Fail(CtlUsage, run.options.fromFile, at, text, BadFitMode);
    }
    if (!set.requests.Push(q))
        return run.Fail(CtlSystem, "fit", "not enough memory; nothing was written");
    return CtlDone;
}

// Reads the whole of --from's file into set.file, zero-ended. CtlDone, or CtlSystem said.
int LoadFitFile(CtlRun& run, FitSet& set) {
    FILE* file = std::fopen(run.options.fromFile, "rb");
    if (!file)
        return run.Fail(CtlSystem, run.options.fromFile, "cannot be read");
    char chunk[4096];
    size_t got;
    int kept = 1;
    while (kept && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        for (size_t i = 0; kept && i < got; ++i)
            kept = set.file.Push(chunk[i] ? chunk[i] : '?'); // a zero byte makes no mode
    const int failed = std::ferror(file) || !kept || !set.file.Push('\0');
    std::fclose(file);
    return failed ? run.Fail(CtlSystem, run.options.fromFile, "cannot be read") : CtlDone;
}

// --from's file: one mode a line, '#' to the line's end a comment, blank lines skipped. Each
// line's mode is ended by a zero in place.
int ReadFitFile(CtlRun& run, FitSet& set) {
    const int loaded = LoadFitFile(run, set);
    if (loaded != CtlDone)
        return loaded;
    char* text = set.file.items;
    const size_t size = set.file.count - 1;
    uint32_t line = 0;
    for (size_t at = 0; at < size; ++line) {
        size_t end = at;
        while (end < size && text[end] != '\n')
            ++end;
        size_t stop = at;
        while (stop < end && text[stop] != '#')
            ++stop;
        size_t first = at;
        while (first < stop && std::strchr(" \t\r", text[first]))
            ++first;
        while (stop > first && std::strchr(" \t\r", text[stop - 1]))
            --stop;
        text[stop] = '\0'; // a newline, a '#', a space or the closing zero
        const int taken = stop > first ? TakeRequest(run, set, text + first, line + 1) : CtlDone;
        if (taken != CtlDone)
            return taken;
        at = end + 1;
    }
    return CtlDone;
}

// Fits every request; one that does not fit refuses the set unless --skip-bad, which leaves it
// out. So does a second mode of the same key. CtlDone with one mode fitted at least.
int FitAll(CtlRun& run, FitSet& set) {
    for (uint32_t i = 0; i < set.requests.count; ++i) {
        Fitted f{};
        f.request = set.requests.items[i];
        LeftOut out = {f.request.text, {}};
        int ok = FitToTiming(set.monitor, run.options, f.request, &f.timing, &f.fit, &out.why);
        for (uint32_t j = 0; ok && j < set.fitted.count; ++j) {
            const CustomTiming& t = set.fitted.items[j].timing;
            ok = !(t.width == f.timing.width && t.height == f.timing.height &&
                   t.refresh == f.timing.refresh);
        }
        if (!ok && !out.why.text[0]) // fitted, but an earlier mode has its key
            std::snprintf(out.why.text, sizeof out.why.text,
                          "gives the mode key of an earlier mode");
        if (!ok && !run.options.skipBad)
            return run.Fail(CtlUsage, f.request.text, out.why.text, "; nothing was written");
        if (!(ok ? set.fitted.Push(f) : set.leftOut.Push(out)))
            return run.Fail(CtlSystem, "fit", "not enough memory; nothing was written");
    }
    if (set.fitted.count == 0)
        return run.Fail(CtlUsage, "fit", "no mode fits; nothing was written");
    return CtlDone;
}

// Puts every fitted timing into the lists, after --replace and the monitor's limits let each.
// CtlDone, or the exit code said with nothing written.
int PutAll(CtlRun& run, FitSet& set, CtlMonitor& monitor) {
    const int read = ReadMonitor(run, &monitor);
    if (read != CtlDone)
        return read;
    for (uint32_t i = 0; i < set.fitted.count; ++i) {
        const Fitted& f = set.fitted.items[i];
        if (run.edit.Find(f.timing.width, f.timing.height, f.timing.refresh) &&
            !run.options.replace)
            return run.Fail(CtlUsage, f.request.text,
                            "the device holds this mode already; give --replace to replace it");
        const int refused = MonitorRefuses(run, monitor, f.timing, nullptr, 0);
        if (refused != CtlDone)
            return refused;
        if (!run.edit.Put(f.timing))
            return run.Fail(CtlSystem, run.deviceName, "not enough memory; nothing was written");
    }
    return CtlDone;
}

// What a fit wrote: each mode's fit, the rows as list prints them, those left out.
void PrintWritten(CtlRun& run, const FitSet& set, const CtlMonitor& monitor) {
    NoteNoLimits(run, monitor);
    for (uint32_t i = 0; i < set.fitted.count; ++i)
        NoteForced(run, monitor, set.fitted.items[i].timing, "written");
    for (uint32_t i = 0; i < set.fitted.count; ++i)
        PrintFitLine(run.out, set.fitted.items[i].request, set.fitted.items[i].fit);
    PrintTimingHeader(run.out);
    for (uint32_t i = 0; i < set.fitted.count; ++i)
        PrintTimingRow(run.out, set.fitted.items[i].timing, 1);
    for (uint32_t i = 0; i < set.leftOut.count; ++i) {
        run.out.Text("left out ");
        run.out.Printable(set.leftOut.items[i].text);
        run.out.Text(": ");
        run.out.Text(set.leftOut.items[i].why.text);
        run.out.EndLine();
    }
}

// Fits and writes a set: one load, one backup, one write-then-prune save.
int WriteSet(CtlRun& run, FitSet& set) {
    const int fitted = FitAll(run, set);
    if (fitted != CtlDone)
        return fitted;
    const int prepared = SelectAndPrepareWrite(run);
    if (prepared != CtlDone)
        return prepared;
    CtlMonitor monitor;
    const int put = PutAll(run, set, monitor);
    if (put != CtlDone)
        return put;
    const int finished = FinishWrite(run);
    if (finished != CtlDone)
        return finished;
    PrintWritten(run, set, monitor);
    return CtlDone;
}

} // namespace

int ChooseCrtMonitor(CtlRun& run, const char* command, const char* preset, CrtMonitor* monitor) {
    const CtlOptions& o = run.options;
    if ((preset != nullptr) == (o.monitorText != nullptr))
        return run.Fail(CtlUsage, command, "give one of a preset and --monitor");
    const char* why = "";
    if (o.monitorText && !ParseCrtMonitor(o.monitorText, std::strlen(o.monitorText), monitor, &why))
        return run.Fail(CtlUsage, "--monitor", why);
    if (preset && !FindCrtPreset(preset, monitor))
        return run.Fail(CtlUsage, preset, "not a monitor preset (see velmoractl help presets)");
    return CtlDone;
}

int CommandFit(CtlRun& run) {
    FitSet set;
    const char* preset = nullptr;
    uint32_t first = 0;
    if (!run.options.monitorText && run.words.count)
        preset = run.words.items[first++];
    int chosen = ChooseCrtMonitor(run, "fit", preset, &set.monitor);
    for (uint32_t i = first; chosen == CtlDone && i < run.words.count; ++i)
        chosen = TakeRequest(run, set, run.words.items[i], 0);
    if (chosen == CtlDone && run.options.fromFile)
        chosen = ReadFitFile(run, set);
    if (chosen != CtlDone)
        return chosen;
    if (set.requests.count == 0)
        return run.Fail(CtlUsage, "fit", "expects modes such as 320x240@60, or --from FILE");
    return WriteSet(run, set);
}

int CommandAddFitted(CtlRun& run) {
    FitSet set;
    const char* text = run.options.argument;
    int chosen = ChooseCrtMonitor(run, "fit", run.options.fitPreset, &set.monitor);
    if (chosen == CtlDone)
        chosen = TakeRequest(run, set, text, 0);
    return chosen != CtlDone ? chosen : WriteSet(run, set);
}

int CommandHelpTopic(CtlRun& run) {
    if (run.words.count != 1 || std::strcmp(run.words.items[0], "presets") != 0)
        return run.Fail(CtlUsage, "help", "the one topic is presets");
    run.out.Text(PresetsHelp);
    size_t count = 0;
    const CrtPreset* presets = CrtPresets(&count);
    for (size_t i = 0; i < count; ++i) {
        run.out.Format("  %-16s %s\n    ", presets[i].name, presets[i].about);
        run.out.Text(presets[i].text);
        run.out.EndLine();
    }
    return CtlDone;
}
