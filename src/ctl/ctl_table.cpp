// The mode table for a game list: the list read as a stream, the table chosen for the monitor,
// the report in text or JSON, and the write through the edit's one save.
#include "ctl/ctl_table.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_fit.h"
#include "ctl/ctl_json.h"
#include "ctl/ctl_monitor.h"
#include "ctl/ctl_rows.h"

#include "formats/decimal.h"
#include "formats/mame_list.h"
#include "formats/mode_table.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A game as the list gives it.
struct TableGame {
    char name[MameNameMax + 1];
    uint32_t width, height, rotate;
    uint64_t refreshMicroHz;
    uint32_t boardTotal; // the board's vertical total, when it gives its clock and totals
};

// What a run of table reads and chooses.
struct TableSet {
    CrtMonitor monitor;
    const char* monitorName; // the preset, or "custom"
    CtlArray<TableGame> games;
    uint32_t machines;             // read from --mame; 0 for --from
    uint32_t kinds[MameKindCount]; // the machines by kind
    int outOfMemory;               // a game could not be kept
    ModeTable table;
    CtlArray<uint8_t> kept; // per mode: 1 when the device's own timing of its key stays
    int written;
};

const char NothingWritten[] = "; nothing was written";

int TakeMachine(void* context, const MameMachine& m) {
    TableSet& set = *static_cast<TableSet*>(context);
    ++set.machines;
    ++set.kinds[m.kind];
    if (m.kind != MameKindRaster)
        return 1;
    TableGame g{};
    std::memcpy(g.name, m.name, sizeof g.name);
    const MameDisplay& d = m.display;
    g.width = d.width, g.height = d.height, g.rotate = d.rotate;
    g.refreshMicroHz = d.refreshMicroHz;
    if (d.hasPixclock && d.hasHtotal && d.hasVtotal && d.pixclock && d.htotal)
        g.boardTotal = d.vtotal;
    set.outOfMemory = !set.games.Push(g);
    return !set.outOfMemory;
}

// "line 12: " of a refusal.
struct LineTag {
    char text[24];
    explicit LineTag(uint32_t line) {
        std::snprintf(text, sizeof text, "line %u: ", static_cast<unsigned>(line));
    }
};

// Closes a game list read up to its end or a fault: CtlDone when it read whole; otherwise the
// exit code said, a list that does not read (`why` not null) refused naming the line.
int CloseList(CtlRun& run, const TableSet& set, FILE* file, const char* why, uint32_t line) {
    const int broken = std::ferror(file);
    std::fclose(file);
    const char* path = run.options.mameFile ? run.options.mameFile : run.options.fromFile;
    if (set.outOfMemory)
        return run.Fail(CtlSystem, "table", "not enough memory", NothingWritten);
    if (broken)
        return run.Fail(CtlSystem, path, "cannot be read");
    if (why)
        return run.Fail(CtlRefused, path, LineTag(line).text, why, NothingWritten);
    return CtlDone;
}

// --mame's list, fed to the reader in chunks: only the games are kept. CtlDone, or the exit
// code said (CtlRefused naming the line for a list that does not read).
int ReadMameFile(CtlRun& run, TableSet& set) {
    const char* path = run.options.mameFile;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return run.Fail(CtlSystem, path, "cannot be read");
    MameListReader reader(MameMachineSink{&set, TakeMachine});
    uint8_t chunk[1 << 15];
    size_t got;
    int going = 1;
    while (going && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        going = reader.Feed(chunk, got);
    const int whole = going && reader.Finish();
    return CloseList(run, set, file, whole ? nullptr : reader.Error(), reader.ErrorLine());
}

// Reads "WIDTHxHEIGHT@REFRESH", width and height 1 to ModeKeyMax, the refresh 1 to 1000 Hz with
// up to six decimals. 1 and the figures; 0 otherwise.
int ParseGameMode(const char* text, TableGame* g) {
    const char* x = std::strchr(text, 'x') ? std::strchr(text, 'x') : std::strchr(text, 'X');
    const char* at = x ? std::strchr(x, '@') : nullptr;
    Decimal w, h, r;
    if (!at || !DecodeDecimal(text, x, &w, nullptr) || !DecodeDecimal(x + 1, at, &h, nullptr) ||
        !DecodeDecimal(at + 1, at + std::strlen(at), &r, nullptr) || w.places || h.places ||
        r.places > 6 || !w.digits || !h.digits || w.digits > ModeKeyMax || h.digits > ModeKeyMax)
        return 0;
    if (r.digits > 1000000000000ull)
        return 0;
    uint64_t micro = r.digits;
    for (uint32_t i = r.places; i < 6; ++i)
        micro *= 10;
    if (micro < 1000000 || micro > 1000000000)
        return 0;
    g->width = static_cast<uint32_t>(w.digits);
    g->height = static_cast<uint32_t>(h.digits);
    g->refreshMicroHz = micro;
    return 1;
}

const char BadGameLine[] = "not a game of the form NAME WIDTHxHEIGHT@REFRESH [ROTATE] (1 to "
                           "9999, refresh 1 to 1000 with up to six decimals, ROTATE 0, 90, 180 "
                           "or 270, the name up to 63 bytes)";

// One line of --from, its comment cut off: blank, or one game. 1 when it reads.
int ParseGameLine(char* text, TableSet& set) {
    char* comment = std::strchr(text, '#');
    if (comment)
        *comment = '\0';
    const char* words[3] = {};
    size_t count = 0;
    for (char* p = text; *p;) {
        if (std::strchr(" \t\r", *p)) {
            *p++ = '\0';
            continue;
        }
        if (count == 3)
            return 0;
        words[count++] = p;
        while (*p && !std::strchr(" \t\r", *p))
            ++p;
    }
    if (count == 0)
        return 1;
    TableGame g{};
    Decimal rotate{};
    if (count < 2 || std::strlen(words[0]) > MameNameMax || !ParseGameMode(words[1], &g) ||
        (count == 3 &&
         (!DecodeDecimal(words[2], words[2] + std::strlen(words[2]), &rotate, nullptr) ||
          rotate.places || rotate.digits % 90 || rotate.digits > 270)))
        return 0;
    std::memcpy(g.name, words[0], std::strlen(words[0]) + 1);
    g.rotate = static_cast<uint32_t>(rotate.digits);
    set.outOfMemory = !set.games.Push(g);
    return 1;
}

// --from's games, a line at a time. CtlDone, or the exit code said.
int ReadGameFile(CtlRun& run, TableSet& set) {
    const char* path = run.options.fromFile;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return run.Fail(CtlSystem, path, "cannot be read");
    char text[256];
    size_t length = 0;
    uint32_t line = 1;
    const char* why = nullptr;
    for (int c = std::getc(file); !why && !set.outOfMemory; c = std::getc(file)) {
        if (c != EOF && c != '\n') {
            if (c == '\0' || length + 1 == sizeof text)
                why = c ? "longer than 255 bytes" : "a zero byte";
            else
                text[length++] = static_cast<char>(c);
            continue;
        }
        text[length] = '\0';
        if (!ParseGameLine(text, set))
            why = BadGameLine;
        if (c == EOF || why)
            break;
        length = 0;
        ++line;
    }
    return CloseList(run, set, file, why, line);
}

// The games as the table takes them, and the table chosen. CtlDone, or the exit code said.
int ChooseTable(CtlRun& run, TableSet& set) {
    const CtlOptions& o = run.options;
    CtlArray<ModeGame> games;
    for (uint32_t i = 0; i < set.games.count; ++i) {
        const TableGame& t = set.games.items[i];
        ModeGame g = {t.name,   t.width,     t.height, static_cast<double>(t.refreshMicroHz) / 1e6,
                      t.rotate, t.boardTotal};
        if (!games.Push(g))
            return run.Fail(CtlSystem, "table", "not enough memory", NothingWritten);
    }
    ModeTableOptions options = {o.haveMaxModes ? o.maxModes : ModeTableDefaultCap, o.vertical,
                                o.haveMinClock ? o.minClock100 * 10000 : 0, o.superWidth};
    if (!set.table.Build(games.items, games.count, set.monitor, options))
        return run.Fail(CtlSystem, "table", "not enough memory", NothingWritten);
    for (uint32_t i = 0; i < set.table.ModeCount(); ++i)
        if (!set.kept.Push(0))
            return run.Fail(CtlSystem, "table", "not enough memory", NothingWritten);
    return CtlDone;
}

// A mode of the table as a stored timing.
CustomTiming TimingOf(const ModeTableMode& m) {
    CustomTiming t{};
    t.width = m.width, t.height = m.height, t.refresh = m.refresh;
    RasterToTimingBlock(m.fit.raster, &t.block, nullptr); // the fit checked that it stores
    return t;
}

// The table into the edit: in place of every mode with --replace; otherwise added, a key the
// device holds keeping its own timing. Each written timing passes the monitor's limits.
int PutTable(CtlRun& run, TableSet& set, CtlMonitor& monitor) {
    const int read = ReadMonitor(run, &monitor);
    if (read != CtlDone)
        return read;
    if (run.options.replace)
        run.edit.Clear();
    for (uint32_t i = 0; i < set.table.ModeCount(); ++i) {
        const CustomTiming t = TimingOf(set.table.Modes()[i]);
        if (run.edit.Find(t.width, t.height, t.refresh)) {
            set.kept.items[i] = 1;
            continue;
        }
        const int refused = MonitorRefuses(run, monitor, t, nullptr, 0);
        if (refused != CtlDone)
            return refused;
        if (!run.edit.Put(t))
            return run.Fail(CtlSystem, run.deviceName, "not enough memory", NothingWritten);
    }
    return CtlDone;
}

// How the games are served: counts by status and the largest error of each.
struct Served {
    uint32_t count[4];
    double largestHz[4], largestPercent[4];
};

Served CountServed(const ModeTable& table) {
    Served s{};
    for (uint32_t i = 0; i < table.ResultCount(); ++i) {
        const ModeGameResult& r = table.Results()[i];
        ++s.count[r.status];
        if (r.status != ModeUnserved && std::fabs(r.errorHz) > s.largestHz[r.status]) {
            s.largestHz[r.status] = std::fabs(r.errorHz);
            s.largestPercent[r.status] = std::fabs(r.errorPercent);
        }
    }
    return s;
}

// "224x288@60.606061": a picture and a refresh given in millionths of a hertz, with as few
// decimals as it needs.
void FormatNeed(uint32_t width, uint32_t height, uint64_t micro, char (&text)[48]) {
    const int length =
        std::snprintf(text, sizeof text, "%ux%u@%u", static_cast<unsigned>(width),
                      static_cast<unsigned>(height), static_cast<unsigned>(micro / 1000000));
    uint64_t part = micro % 1000000;
    if (!part || length < 0)
        return;
    int places = 6;
    for (; part % 10 == 0; part /= 10)
        --places;
    std::snprintf(text + length, sizeof text - length, ".%0*u", places,
                  static_cast<unsigned>(part));
}

const char* const KindNames[MameKindCount] = {
    "devices", "not runnable", "without a screen",     "LCD",
    "SVG",     "vector",       "of an unknown screen", "raster"};
const char* const KindKeys[MameKindCount] = {"device", "notRunnable", "noScreen",      "lcd",
                                             "svg",    "vector",      "unknownScreen", "raster"};
const char* const StatusNames[4] = {"exact", "near", "nearest", "unserved"};

// The first lines: the games read, the table's size and how the games are served.
void PrintSummary(CtlRun& run, const TableSet& set, const Served& s) {
    CtlPrinter& out = run.out;
    if (run.options.mameFile) {
        out.Format("read %u machines: %u games taken; skipped", set.machines, set.games.count);
        for (int k = 0; k < MameKindRaster; ++k)
            out.Format("%s %u %s", k ? "," : "", set.kinds[k], KindNames[k]);
        out.EndLine();
    } else {
        out.Format("read %u games\n", set.games.count);
    }
    out.Format("table: %u modes of %u keys for %u games (at most ", set.table.ModeCount(),
               set.table.KeyCount(), set.games.count);
    out.Number(run.options.haveMaxModes ? run.options.maxModes : ModeTableDefaultCap);
    out.Format("), %s%s\n", set.monitorName, run.options.vertical ? ", vertical" : "");
    out.Format("served: %u exactly (within 0.1 %%), %u near (up to ", s.count[ModeExact],
               s.count[ModeNear]);
    out.Fixed(s.largestHz[ModeNear], 3);
    out.Text(" Hz, ");
    out.Fixed(s.largestPercent[ModeNear], 2);
    out.Format(" %%), %u by a nearest mode (up to ", s.count[ModeNearest]);
    out.Fixed(s.largestHz[ModeNearest], 3);
    out.Format(" Hz), %u unserved\n", s.count[ModeUnserved]);
}

// One line a mode: "2560x224@60: 3264x262 total, 15.720 kHz, 59.999 Hz, 210 games at
// 59.185-60.606 Hz", then its scan, its widening and whether the device's own timing stays.
void PrintModeLine(CtlRun& run, const ModeTableMode& m, int kept) {
    CtlPrinter& out = run.out;
    const Raster& r = m.fit.raster;
    PrintModeKey(out, m.width, m.height, m.refresh);
    out.Format(": %ux%u total, ", static_cast<unsigned>(r.hTotal), static_cast<unsigned>(r.vTotal));
    out.Fixed(m.fit.hFreqKHz, 3);
    out.Text(" kHz, ");
    out.Fixed(m.fit.realRefreshHz, 3);
    out.Format(" Hz, %u game%s at ", m.games, m.games == 1 ? "" : "s");
    out.Fixed(m.lowHz, 3);
    if (std::floor(m.highHz * 1000 + 0.5) != std::floor(m.lowHz * 1000 + 0.5)) {
        out.Text("-");
        out.Fixed(m.highHz, 3);
    }
    out.Text(" Hz");
    if (r.flags & RasterInterlace)
        out.Text(", interlaced");
    if (r.flags & RasterDoubleScan)
        out.Text(", double-scan");
    if (m.fit.broadcast)
        out.Text(", broadcast raster");
    if (m.fit.widthFactor > 1)
        out.Format(", %u wide (x%u)", static_cast<unsigned>(r.hDisplay),
                   static_cast<unsigned>(m.fit.widthFactor));
    if (kept)
        out.Text(", kept: the device holds this key (--replace replaces it)");
    out.EndLine();
}

void PrintText(CtlRun& run, const TableSet& set, const CtlMonitor& monitor) {
    PrintSummary(run, set, CountServed(set.table));
    for (uint32_t i = 0; i < set.table.ModeCount(); ++i)
        PrintModeLine(run, set.table.Modes()[i], set.kept.items[i]);
    if (!set.written)
        return run.out.Text("--dry-run: nothing was written\n");
    NoteNoLimits(run, monitor);
    for (uint32_t i = 0; i < set.table.ModeCount(); ++i)
        if (!set.kept.items[i])
            NoteForced(run, monitor, TimingOf(set.table.Modes()[i]), "written");
    uint32_t kept = 0;
    for (uint32_t i = 0; i < set.kept.count; ++i)
        kept += set.kept.items[i];
    run.out.Text("written to ");
    run.out.Printable(run.deviceName);
    run.out.Format(": %u timings%s", set.table.ModeCount() - kept,
                   run.options.replace ? ", in place of every mode it held" : "");
    run.out.Format(kept ? ", %u of the table's keys kept as the device held them\n" : "\n", kept);
}

void JsonKey(CtlJson& json, uint32_t w, uint32_t h, uint32_t r) {
    char key[40];
    std::snprintf(key, sizeof key, "%ux%u@%u", static_cast<unsigned>(w), static_cast<unsigned>(h),
                  static_cast<unsigned>(r));
    json.Text(key);
}

void JsonSummary(CtlJson& json, const CtlRun& run, const TableSet& set) {
    const Served s = CountServed(set.table);
    json.Key("summary");
    json.Open('{');
    json.Field("monitor", set.monitorName);
    json.Key("vertical"), json.Bool(run.options.vertical);
    json.Field("maxModes", run.options.haveMaxModes ? run.options.maxModes : ModeTableDefaultCap);
    json.Key("machines");
    if (run.options.mameFile) {
        json.Open('{');
        json.Field("read", set.machines);
        for (int k = 0; k < MameKindCount; ++k)
            json.Field(KindKeys[k], set.kinds[k]);
        json.Close('}');
    } else {
        json.Null();
    }
    json.Field("games", set.games.count);
    json.Field("keys", set.table.KeyCount());
    json.Field("modes", set.table.ModeCount());
    for (int status = 0; status < 4; ++status)
        json.Field(StatusNames[status], s.count[status]);
    json.Key("nearLargestErrorHz"), json.Fixed(s.largestHz[ModeNear], 6);
    json.Key("nearestLargestErrorHz"), json.Fixed(s.largestHz[ModeNearest], 6);
    json.Key("written"), json.Bool(set.written);
    json.Key("device"), set.written ? json.Text(run.deviceName) : json.Null();
    json.Close('}');
}

void JsonModes(CtlJson& json, const TableSet& set) {
    json.Key("modes");
    json.Open('[');
    for (uint32_t i = 0; i < set.table.ModeCount(); ++i) {
        const ModeTableMode& m = set.table.Modes()[i];
        const Raster& r = m.fit.raster;
        json.Open('{');
        json.Key("mode"), JsonKey(json, m.width, m.height, m.refresh);
        json.Field("games", m.games);
        json.Key("lowHz"), json.Fixed(m.lowHz, 6);
        json.Key("highHz"), json.Fixed(m.highHz, 6);
        json.Key("clockMHz"), json.Hundredths(r.clockHz / 10000);
        json.Field("hTotal", r.hTotal);
        json.Field("vTotal", r.vTotal);
        json.Key("hFreqKHz"), json.Fixed(m.fit.hFreqKHz, 3);
        json.Key("refreshHz"), json.Fixed(m.fit.realRefreshHz, 6);
        json.Key("interlaced"), json.Bool((r.flags & RasterInterlace) != 0);
        json.Key("doubleScan"), json.Bool((r.flags & RasterDoubleScan) != 0);
        json.Field("widthFactor", static_cast<uint32_t>(m.fit.widthFactor));
        json.Key("kept"), json.Bool(set.kept.items[i]);
        json.Close('}');
    }
    json.Close(']');
}

// One record a game, in the list's order.
void JsonGame(CtlJson& json, const TableSet& set, uint32_t i) {
    const TableGame& g = set.games.items[i];
    const ModeGameResult& r = set.table.Results()[i];
    char need[48];
    FormatNeed(r.width, r.height, g.refreshMicroHz, need);
    json.Open('{');
    json.Field("name", g.name);
    json.Field("need", need);
    json.Field("rotate", g.rotate);
    json.Key("mode");
    if (r.mode == ModeNone) {
        json.Null();
    } else {
        const ModeTableMode& m = set.table.Modes()[r.mode];
        JsonKey(json, m.width, m.height, m.refresh);
        json.Key("refreshHz"), json.Fixed(r.realHz, 6);
        json.Key("errorHz"), json.Fixed(r.errorHz, 6);
        json.Key("errorPercent"), json.Fixed(r.errorPercent, 4);
        json.Key("interlaced"), json.Bool(r.interlaced);
        json.Key("doubleScan"), json.Bool(r.doubleScan);
    }
    json.Field("status", StatusNames[r.status]);
    json.Close('}');
}

void PrintJson(CtlRun& run, const TableSet& set) {
    CtlJson json(run.out);
    json.Open('{');
    JsonSummary(json, run, set);
    JsonModes(json, set);
    json.Key("games");
    json.Open('[');
    for (uint32_t i = 0; i < set.games.count; ++i)
        JsonGame(json, set, i);
    json.Close(']');
    json.Close('}');
}

// The monitor and the one game list. CtlDone, or CtlUsage said.
int ChooseInputs(CtlRun& run, TableSet& set) {
    const CtlOptions& o = run.options;
    if (run.words.count > (o.monitorText ? 0u : 1u))
        return run.Fail(CtlUsage, run.words.items[run.words.count - 1],
                        "unexpected argument of table");
    const char* preset = o.monitorText ? nullptr : run.words.count ? run.words.items[0] : nullptr;
    set.monitorName = preset ? preset : o.monitorText ? "custom" : "";
    const int chosen = ChooseCrtMonitor(run, "table", preset, &set.monitor);
    if (chosen != CtlDone)
        return chosen;
    if ((o.mameFile != nullptr) == (o.fromFile != nullptr))
        return run.Fail(CtlUsage, "table", "give one of --mame FILE and --from FILE");
    if (o.dryRun && (o.replace || o.force))
        return run.Fail(CtlUsage, "--dry-run", "does not go with --replace or --force");
    return CtlDone;
}

} // namespace

int CommandTable(CtlRun& run) {
    TableSet set{};
    int step = ChooseInputs(run, set);
    if (step == CtlDone)
        step = run.options.mameFile ? ReadMameFile(run, set) : ReadGameFile(run, set);
    if (step == CtlDone)
        step = ChooseTable(run, set);
    CtlMonitor monitor{};
    if (step == CtlDone && !run.options.dryRun) {
        // An empty table would add nothing, and with --replace would empty the device.
        step =
            set.table.ModeCount()
                ? SelectAndPrepareWrite(run)
                : run.Fail(CtlUsage, "table", "no mode serves a game of the list", NothingWritten);
        if (step == CtlDone)
            step = PutTable(run, set, monitor);
        if (step == CtlDone)
            step = FinishWrite(run);
        set.written = step == CtlDone;
    }
    if (step != CtlDone)
        return step;
    if (run.options.json)
        PrintJson(run, set);
    else
        PrintText(run, set, monitor);
    return CtlDone;
}
