// The device's monitor: what is known of it (the monitor command) and its limits, which check
// uses and add and import hold every timing to.
#include "ctl/ctl_monitor.h"

#include "ctl/ctl_device.h"
#include "ctl/ctl_rows.h"
#include "ctl/ctl_json.h"

#include "formats/modeline.h"

#include <cstdio>
#include <cstring>

namespace {

// A number of hundredths as short as it reads: 30, 31.5, 31.47.
void Compact(uint64_t hundredths, char (&text)[32]) {
    const uint64_t whole = hundredths / 100;
    const unsigned fraction = static_cast<unsigned>(hundredths % 100);
    if (fraction == 0)
        std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(whole));
    else if (fraction % 10 == 0)
        std::snprintf(text, sizeof text, "%llu.%u", static_cast<unsigned long long>(whole),
                      fraction / 10);
    else
        std::snprintf(text, sizeof text, "%llu.%02u", static_cast<unsigned long long>(whole),
                      fraction);
}

// "30-83 kHz" and the like, appended to text after `separator`.
void AppendRange(char (&text)[320], const char* separator, uint64_t min, uint64_t max,
                 const char* unit) {
    char a[32], b[32];
    Compact(min, a);
    Compact(max, b);
    const size_t used = std::strlen(text);
    std::snprintf(text + used, sizeof text - used, "%s%s-%s %s", separator, a, b, unit);
}

// The limits as "30-83 kHz, 50-120 Hz, 140 MHz", those known only.
void LimitsText(const MonitorLimits& l, char (&text)[320]) {
    text[0] = '\0';
    if (l.haveH)
        AppendRange(text, "", l.hMin100, l.hMax100, "kHz");
    if (l.haveV)
        AppendRange(text, l.haveH ? ", " : "", l.vMin100, l.vMax100, "Hz");
    if (l.haveClock) {
        char c[32];
        Compact(l.clock100, c);
        const size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, "%s%s MHz", used ? ", " : "", c);
    }
}

// The limits of every setup file value that reads, widened into one envelope.
int SetupLimits(const MonitorData& data, MonitorLimits* limits) {
    *limits = MonitorLimits{};
    int any = 0;
    for (const MonitorModeValue* v = data.modes; v; v = v->next) {
        MonitorLimits one;
        if (v->type != RegistryTypeSz ||
            !ParseSetupModeValue(reinterpret_cast<const char*>(v->data), v->length, &one))
            continue;
        WidenLimits(limits, one);
        any = 1;
    }
    return any;
}

// " (its EDID does not read: bad checksum)" when the setup file's limits stand in for the EDID.
void PrintFault(CtlPrinter& out, const CtlMonitor& m) {
    if (m.EdidFault())
        out.Format(" (its EDID does not read: %s)", m.EdidFault());
}

// Why no limits are known, after "no monitor limits are known for DISPLAY1".
void PrintNoLimitsReason(CtlPrinter& out, const CtlMonitor& m) {
    if (m.data.source != MonitorNoSource && m.data.source != MonitorSetupFile && !m.edidRead) {
        out.Text(": unreadable EDID (");
        out.Text(m.edidError ? m.edidError : "");
        out.Text(")");
    } else if (m.data.source != MonitorNoSource) {
        out.Text(": its ");
        out.Text(m.SourceName());
        out.Text(" states none");
    }
}

} // namespace

const char* CtlMonitor::SourceName() const {
    switch (data.source) {
    case MonitorEdidOverride:
        return "EDID override";
    case MonitorEdidValue:
        return "EDID";
    case MonitorSetupFile:
        return "setup file";
    default:
        return nullptr;
    }
}

const char* CtlMonitor::LimitsName() const {
    return limitsOrigin == LimitsOfSetupFile ? "setup file" : SourceName();
}

const char* CtlMonitor::EdidFault() const {
    const int fellBack = limitsOrigin == LimitsOfSetupFile && data.source != MonitorSetupFile;
    return fellBack ? (edidError ? edidError : "") : nullptr;
}

int ReadMonitor(CtlRun& run, CtlMonitor* m) {
    m->edidRead = 0;
    m->edidError = nullptr;
    m->haveLimits = 0;
    m->limitsOrigin = LimitsUnknown;
    m->limits = MonitorLimits{};
    if (!m->data.Find(run.systemName))
        return run.Fail(CtlSystem, run.deviceName, "the monitor's data could not be read");
    if (m->data.source == MonitorEdidOverride || m->data.source == MonitorEdidValue)
        m->edidRead = ReadEdid(m->data.edid, m->data.edidLength, &m->edid, &m->edidError);
    MonitorLimits setup;
    const int haveSetup = SetupLimits(m->data, &setup);
    m->limitsOrigin = ChooseLimits(m->edidRead ? &m->edid : nullptr, haveSetup, setup, &m->limits);
    m->haveLimits = m->limitsOrigin != LimitsUnknown;
    return CtlDone;
}

MonitorLimits CheckedLimits(const CtlOptions& o, const CtlMonitor& m, MonitorLimits* fromMonitor) {
    const MonitorLimits& ml = m.limits;
    *fromMonitor = MonitorLimits{};
    if (m.haveLimits) {
        *fromMonitor = ml;
        fromMonitor->haveH = ml.haveH && !o.haveHFreq;
        fromMonitor->haveV = ml.haveV && !o.haveVFreq;
        fromMonitor->haveClock = ml.haveClock && !o.haveMaxClock;
    }
    MonitorLimits used = *fromMonitor;
    if (o.haveHFreq)
        used.haveH = 1, used.hMin100 = o.hFreqMin100, used.hMax100 = o.hFreqMax100;
    if (o.haveVFreq)
        used.haveV = 1, used.vMin100 = o.vFreqMin100, used.vMax100 = o.vFreqMax100;
    if (o.haveMaxClock)
        used.haveClock = 1, used.clock100 = o.maxClock100;
    return used;
}

void PrintLimitsLine(CtlRun& run, const CtlMonitor& m, const MonitorLimits& fromMonitor,
                     const MonitorLimits& used) {
    if (!used.haveH && !used.haveV && !used.haveClock)
        return NoteNoLimits(run, m);
    if (!fromMonitor.haveH && !fromMonitor.haveV && !fromMonitor.haveClock)
        return;
    char text[320];
    LimitsText(fromMonitor, text);
    run.out.Text("limits from the monitor's ");
    run.out.Text(m.LimitsName());
    run.out.Text(": ");
    run.out.Text(text);
    PrintFault(run.out, m);
    run.out.EndLine();
}

void NoteNoLimits(CtlRun& run, const CtlMonitor& m) {
    if (m.haveLimits)
        return;
    run.out.Text("no monitor limits are known for ");
    run.out.Printable(run.deviceName);
    PrintNoLimitsReason(run.out, m);
    run.out.EndLine();
}

int DescribeOutside(const TimingBlock& block, const MonitorLimits& l, char (&text)[320]) {
    RasterFigures f;
    const int defined = TimingFigures(block, &f);
    int count = 0;
    text[0] = '\0';
    char value[32];
    const struct {
        int check;
        uint64_t value, min, max;
        const char *what, *unit;
    } items[] = {
        {l.haveH && block.words[HorizontalTotal] != 0, f.hFreqKHz100, l.hMin100, l.hMax100,
         "horizontal frequency", "kHz"},
        {l.haveV && defined, f.vFreqHz100, l.vMin100, l.vMax100, "refresh", "Hz"},
        {l.haveClock, f.clockMHz100, 0, l.clock100, "pixel clock", "MHz"},
    };
    for (const auto& item : items) {
        if (!item.check || (item.value >= item.min && item.value <= item.max))
            continue;
        if (!FormatHundredths(item.value, value, sizeof value))
            value[0] = '\0';
        const size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, "%s%s %s %s %s", count ? ", " : "",
                      item.what, value, item.unit, item.min == 0 ? "above" : "outside");
        if (item.min == 0) {
            char max[32];
            Compact(item.max, max);
            const size_t at = std::strlen(text);
            std::snprintf(text + at, sizeof text - at, " %s %s", max, item.unit);
        } else {
            AppendRange(text, " ", item.min, item.max, item.unit);
        }
        ++count;
    }
    return count;
}

int MonitorRefuses(CtlRun& run, const CtlMonitor& m, const CustomTiming& t, const char* path,
                   uint32_t line) {
    char outside[320];
    if (!m.haveLimits || run.options.force || !DescribeOutside(t.block, m.limits, outside))
        return CtlDone;
    char key[40];
    std::snprintf(key, sizeof key, "%ux%u@%u", static_cast<unsigned>(t.width),
                  static_cast<unsigned>(t.height), static_cast<unsigned>(t.refresh));
    char why[560];
    std::snprintf(why, sizeof why, "%s%s%s (the monitor's %s%s%s); give --force to %s it anyway",
                  path ? key : "", path ? ": " : "", outside, m.LimitsName(),
                  m.EdidFault() ? "; its EDID does not read: " : "",
                  m.EdidFault() ? m.EdidFault() : "", path ? "import" : "write");
    if (!path)
        return run.Fail(CtlRefused, key, why);
    char at[32];
    std::snprintf(at, sizeof at, "line %u: ", static_cast<unsigned>(line));
    return run.Fail(CtlRefused, path, at, why);
}

int GateOnMonitor(CtlRun& run, CtlMonitor* monitor, const CustomTiming& t) {
    const int read = ReadMonitor(run, monitor);
    return read != CtlDone ? read : MonitorRefuses(run, *monitor, t, nullptr, 0);
}

void NoteForced(CtlRun& run, const CtlMonitor& m, const CustomTiming& t, const char* verb) {
    char outside[320];
    if (!m.haveLimits || !DescribeOutside(t.block, m.limits, outside))
        return;
    run.out.Text("--force: ");
    PrintModeKey(run.out, t.width, t.height, t.refresh);
    run.out.Format(" %s beyond the monitor's %s: %s", verb, m.LimitsName(), outside);
    PrintFault(run.out, m);
    run.out.EndLine();
}

namespace {

const char* RangeKind(uint32_t kind) {
    switch (kind) {
    case EdidDefaultGtf:
        return "default GTF";
    case EdidRangeOnly:
        return "range limits only";
    case EdidSecondaryGtf:
        return "secondary GTF";
    case EdidCvt:
        return "CVT";
    default:
        return "unknown kind";
    }
}

// "Modeline ..." of a detailed timing with its frequencies, or its size when it is no raster.
void PrintDetailed(CtlPrinter& out, const EdidDetailedTiming& t) {
    Modeline modeline{};
    std::snprintf(
        modeline.name, sizeof modeline.name, "%ux%u%s", static_cast<unsigned>(t.raster.hDisplay),
        static_cast<unsigned>(t.raster.vDisplay), t.raster.flags & RasterInterlace ? "i" : "");
    modeline.raster = t.raster;
    char line[256];
    RasterFigures f;
    if (!CheckRaster(t.raster, nullptr) || !FormatModeline(modeline, line, sizeof line)) {
        out.Format("%s, not a usable raster\n", modeline.name);
        return;
    }
    ComputeRasterFigures(t.raster, &f);
    out.Text(line);
    out.Text(" (");
    out.Hundredths(f.hFreqKHz100);
    out.Text(" kHz, ");
    out.Hundredths(f.vFreqHz100);
    out.Text(" Hz)\n");
}

void PrintModes(CtlPrinter& out, const char* label, const EdidMode* modes, uint32_t count) {
    out.Text(label);
    for (uint32_t i = 0; i < count; ++i) {
        out.Text(" ");
        PrintModeKey(out, modes[i].width, modes[i].height, modes[i].refresh);
        if (modes[i].interlaced)
            out.Text("i");
    }
    out.EndLine();
}

// The curve's or CVT's own fields, on a line of their own.
void PrintRangeExtras(CtlPrinter& out, const EdidRangeLimits& r) {
    if (r.kind == EdidSecondaryGtf)
        out.Format("secondary GTF curve: from %u kHz, C %u.%u, M %u, K %u, J %u.%u\n",
                   r.gtfStartKHz, r.gtfC2 / 2, r.gtfC2 % 2 * 5, r.gtfM, r.gtfK, r.gtfJ2 / 2,
                   r.gtfJ2 % 2 * 5);
    if (r.kind == EdidCvt)
        out.Format("CVT %u.%u: max pixel clock %u.%03u MHz, max active pixels per line %u%s, "
                   "preferred refresh %u Hz\n",
                   r.cvtMajor, r.cvtMinor, r.maxClockKHz / 1000, r.maxClockKHz % 1000,
                   r.cvtMaxActivePixels, r.cvtMaxActivePixels ? "" : " (no limit)",
                   r.cvtPreferredHz);
}

void PrintEdid(CtlPrinter& out, const EdidInfo& e) {
    out.Text("name: ");
    out.Printable(e.name);
    out.Text("\nserial: ");
    out.Printable(e.serial);
    out.Format("\nmanufacturer: %s, product %u, serial number %u, made in week %u of %u, EDID "
               "%u.%u\n",
               e.manufacturer, e.product, e.serialNumber, e.week, e.year, e.version, e.revision);
    if (e.range.present)
        out.Format("ranges: %u-%u kHz, %u-%u Hz, max pixel clock %u MHz (%s)\n", e.range.hMinKHz,
                   e.range.hMaxKHz, e.range.vMinHz, e.range.vMaxHz, e.range.maxClockMHz,
                   RangeKind(e.range.kind));
    else
        out.Text("ranges: none stated\n");
    PrintRangeExtras(out, e.range);
    for (uint32_t i = 0; i < e.detailedCount; ++i) {
        out.Text(i == 0 ? "preferred: " : "detailed: ");
        PrintDetailed(out, e.detailed[i]);
    }
    EdidMode established[EdidEstablishedCount];
    uint32_t count = 0;
    for (uint32_t i = 0; i < EdidEstablishedCount; ++i)
        if (e.established >> i & 1)
            established[count++] = EdidEstablishedModes[i];
    PrintModes(out, "established:", established, count);
    PrintModes(out, "standard:", e.standard, e.standardCount);
}

// The setup file's values, each with what it reads as.
void PrintSetupModes(CtlPrinter& out, const CtlMonitor& m) {
    for (const MonitorModeValue* v = m.data.modes; v; v = v->next) {
        out.Text("mode: ");
        out.Printable(v->key);
        out.Format(" %s \"", v->name);
        for (uint32_t i = 0; i < v->length && v->data[i]; ++i) {
            const char c = static_cast<char>(v->data[i]);
            out.Bytes(c >= 0x20 && c < 0x7F ? &c : "?", 1);
        }
        MonitorLimits one;
        char text[320];
        const int read =
            v->type == RegistryTypeSz &&
            ParseSetupModeValue(reinterpret_cast<const char*>(v->data), v->length, &one);
        if (read)
            LimitsText(one, text);
        out.Format("\": %s\n", read ? text : "does not read");
    }
    char text[320];
    LimitsText(m.limits, text);
    out.Format("ranges: %s", m.haveLimits ? text : "none stated");
    if (m.EdidFault())
        out.Text(" (from the setup file, as the EDID does not read)");
    out.EndLine();
}

// A monitor's StateFlags in words, for the line that says which of the adapter's monitors was
// read (several may be named, and the first is not always the one whose EDID matters).
const char* MonitorState(uint32_t flags) {
    if (!(flags & MonitorStateAttached))
        return "not attached";
    return flags & MonitorStateActive ? "attached and active" : "attached, not active";
}

void PrintMonitorText(CtlRun& run, const CtlMonitor& m) {
    CtlPrinter& out = run.out;
    if (m.data.source == MonitorNoSource) {
        out.Text("No monitor information for ");
        out.Printable(run.deviceName);
        out.EndLine();
        return;
    }
    out.Text("monitor of ");
    out.Printable(run.deviceName);
    out.Text(": ");
    out.Printable(m.data.deviceId);
    out.Format("\ntaken: index %d of %u, ", static_cast<int>(m.data.index),
               static_cast<unsigned>(m.data.asked));
    out.Printable(m.data.deviceName);
    out.Format(", %s", MonitorState(m.data.stateFlags));
    out.Format("\nsource: %s, HKEY_LOCAL_MACHINE\\", m.SourceName());
    out.Printable(m.data.path);
    if (m.data.valueName)
        out.Format(", value %s", m.data.valueName);
    out.EndLine();
    if (m.data.source == MonitorSetupFile)
        PrintSetupModes(out, m);
    else if (!m.edidRead) {
        out.Format("unreadable EDID (%s)\n", m.edidError ? m.edidError : "");
        if (m.data.modes)
            PrintSetupModes(out, m);
    } else
        PrintEdid(out, m.edid);
}

} // namespace

namespace {

void JsonRange(CtlJson& json, const char* name, int have, uint64_t min, uint64_t max) {
    json.Key(name);
    if (!have)
        return json.Null();
    json.Open('{');
    json.Key("min");
    json.Hundredths(min);
    json.Key("max");
    json.Hundredths(max);
    json.Close('}');
}

// The limits object: hFreqKHz and vFreqHz {min, max}, maxClockMHz; null members when unknown.
void JsonLimits(CtlJson& json, const MonitorLimits& l) {
    json.Open('{');
    JsonRange(json, "hFreqKHz", l.haveH, l.hMin100, l.hMax100);
    JsonRange(json, "vFreqHz", l.haveV, l.vMin100, l.vMax100);
    json.Key("maxClockMHz");
    if (l.haveClock)
        json.Hundredths(l.clock100);
    else
        json.Null();
    json.Close('}');
}

void JsonModes(CtlJson& json, const char* name, const EdidMode* modes, uint32_t count) {
    json.Key(name);
    json.Open('[');
    for (uint32_t i = 0; i < count; ++i) {
        json.Open('{');
        json.Field("width", modes[i].width);
        json.Field("height", modes[i].height);
        json.Field("refresh", modes[i].refresh);
        json.Key("interlaced");
        json.Bool(modes[i].interlaced);
        json.Close('}');
    }
    json.Close(']');
}

void JsonDetailed(CtlJson& json, const EdidDetailedTiming& t) {
    const Raster& r = t.raster;
    json.Open('{');
    json.Key("clockMHz");
    json.Hundredths(t.clock10kHz);
    const uint32_t numbers[8] = {r.hDisplay, r.hSyncStart, r.hSyncEnd, r.hTotal,
                                 r.vDisplay, r.vSyncStart, r.vSyncEnd, r.vTotal};
    const char* const names[8] = {"hDisplay", "hSyncStart", "hSyncEnd", "hTotal",
                                  "vDisplay", "vSyncStart", "vSyncEnd", "vTotal"};
    for (int i = 0; i < 8; ++i)
        json.Field(names[i], numbers[i]);
    json.Key("interlaced");
    json.Bool((r.flags & RasterInterlace) != 0);
    json.Field("hSync", r.flags & RasterHSyncPositive   ? "+"
                        : r.flags & RasterHSyncNegative ? "-"
                                                        : "");
    json.Field("vSync", r.flags & RasterVSyncPositive   ? "+"
                        : r.flags & RasterVSyncNegative ? "-"
                                                        : "");
    json.Close('}');
}

void JsonEdidRange(CtlJson& json, const EdidRangeLimits& r) {
    json.Key("ranges");
    if (!r.present)
        return json.Null();
    json.Open('{');
    json.Field("hMinKHz", r.hMinKHz);
    json.Field("hMaxKHz", r.hMaxKHz);
    json.Field("vMinHz", r.vMinHz);
    json.Field("vMaxHz", r.vMaxHz);
    json.Field("maxClockMHz", r.maxClockMHz);
    json.Field("maxClockKHz", r.maxClockKHz);
    json.Field("kind", RangeKind(r.kind));
    json.Close('}');
}

void JsonEdid(CtlJson& json, const EdidInfo& e) {
    json.Field("manufacturer", e.manufacturer);
    json.Field("product", e.product);
    json.Field("serialNumber", e.serialNumber);
    json.Field("week", e.week);
    json.Field("year", e.year);
    json.Field("version", e.version);
    json.Field("revision", e.revision);
    json.Field("name", e.name);
    json.Field("serial", e.serial);
    JsonEdidRange(json, e.range);
    json.Key("detailed");
    json.Open('[');
    for (uint32_t i = 0; i < e.detailedCount; ++i)
        JsonDetailed(json, e.detailed[i]);
    json.Close(']');
    EdidMode established[EdidEstablishedCount];
    uint32_t count = 0;
    for (uint32_t i = 0; i < EdidEstablishedCount; ++i)
        if (e.established >> i & 1)
            established[count++] = EdidEstablishedModes[i];
    JsonModes(json, "established", established, count);
    JsonModes(json, "standard", e.standard, e.standardCount);
}

void JsonSetupModes(CtlJson& json, const CtlMonitor& m) {
    json.Key("setupModes");
    json.Open('[');
    for (const MonitorModeValue* v = m.data.modes; v; v = v->next) {
        json.Open('{');
        json.Field("key", v->key);
        json.Field("value", v->name);
        // The text as it reads: a REG_SZ value's terminating zero is no part of it.
        uint32_t length = 0;
        while (length < v->length && v->data[length])
            ++length;
        json.Key("text");
        json.Bytes(reinterpret_cast<const char*>(v->data), length);
        json.Close('}');
    }
    json.Close(']');
}

const char* const SourceKeys[] = {nullptr, "edid-override", "edid", "setup-file"};

void PrintMonitorJson(CtlRun& run, const CtlMonitor& m) {
    CtlJson json(run.out);
    json.Open('{');
    json.Field("device", run.deviceName);
    json.Field("deviceId", m.data.deviceId[0] ? m.data.deviceId : nullptr);
    json.Key("monitorIndex");
    if (m.data.index >= 0)
        json.Number(static_cast<uint64_t>(m.data.index));
    else
        json.Null();
    json.Field("monitorName", m.data.index >= 0 ? m.data.deviceName : nullptr);
    json.Field("monitorState", m.data.index >= 0 ? MonitorState(m.data.stateFlags) : nullptr);
    json.Field("monitorsAsked", m.data.asked);
    json.Field("source", SourceKeys[m.data.source]);
    json.Field("registryPath", m.data.path[0] ? m.data.path : nullptr);
    json.Field("value", m.data.valueName);
    const int isEdid = m.data.source == MonitorEdidOverride || m.data.source == MonitorEdidValue;
    json.Field("edidError", isEdid && !m.edidRead ? "unreadable EDID" : nullptr);
    json.Field("edidReason", isEdid && !m.edidRead ? m.edidError : nullptr);
    json.Key("edid");
    if (m.edidRead) {
        json.Open('{');
        JsonEdid(json, m.edid);
        json.Close('}');
    } else {
        json.Null();
    }
    JsonSetupModes(json, m);
    json.Field("limitsSource", m.limitsOrigin == LimitsOfSetupFile ? "setup-file"
                               : m.limitsOrigin == LimitsOfEdid    ? SourceKeys[m.data.source]
                                                                   : nullptr);
    json.Key("limits");
    if (m.haveLimits)
        JsonLimits(json, m.limits);
    else
        json.Null();
    json.Close('}');
}

} // namespace

void PrintJsonLimits(CtlJson& json, const MonitorLimits& limits) {
    JsonLimits(json, limits);
}

int CommandMonitor(CtlRun& run) {
    const int selected = SelectDevice(run);
    if (selected != CtlDone)
        return selected;
    CtlMonitor monitor;
    const int read = ReadMonitor(run, &monitor);
    if (read != CtlDone)
        return read;
    if (run.options.json)
        PrintMonitorJson(run, monitor);
    else
        PrintMonitorText(run, monitor);
    return CtlDone;
}
