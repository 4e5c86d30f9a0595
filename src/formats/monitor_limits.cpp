// A monitor's limits from its EDID and from its setup file's mode values.
#include "formats/monitor_limits.h"

#include "formats/decimal.h"

namespace {

// A field of the value between commas: [begin, end).
struct Field {
    const char* begin;
    const char* end;
};

int IsPolarity(Field f) {
    while (f.begin < f.end && *f.begin == ' ')
        ++f.begin;
    while (f.end > f.begin && f.end[-1] == ' ')
        --f.end;
    return f.end - f.begin == 1 && (*f.begin == '+' || *f.begin == '-');
}

} // namespace

int LimitsFromEdid(const EdidInfo& edid, MonitorLimits* limits) {
    *limits = MonitorLimits{};
    const EdidRangeLimits& r = edid.range;
    if (!r.present)
        return 0;
    limits->haveH = r.hMaxKHz != 0 && r.hMinKHz <= r.hMaxKHz;
    limits->hMin100 = r.hMinKHz * 100ull;
    limits->hMax100 = r.hMaxKHz * 100ull;
    limits->haveV = r.vMaxHz != 0 && r.vMinHz <= r.vMaxHz;
    limits->vMin100 = r.vMinHz * 100ull;
    limits->vMax100 = r.vMaxHz * 100ull;
    limits->haveClock = r.maxClockKHz != 0;
    limits->clock100 = r.maxClockKHz / 10ull;
    return limits->haveH || limits->haveV || limits->haveClock;
}

int ChooseLimits(const EdidInfo* edid, int haveSetup, const MonitorLimits& setup,
                 MonitorLimits* limits) {
    *limits = MonitorLimits{};
    if (edid)
        return LimitsFromEdid(*edid, limits) ? LimitsOfEdid : LimitsUnknown;
    if (!haveSetup)
        return LimitsUnknown;
    *limits = setup;
    return LimitsOfSetupFile;
}

// The value is cut at its commas into at most four fields. After the horizontal range, a field
// that is a polarity ends the ranges; any other is the vertical range.
int ParseSetupModeValue(const char* text, size_t length, MonitorLimits* limits) {
    size_t used = 0;
    while (used < length && text[used])
        ++used;
    Field fields[4];
    size_t count = 0;
    const char* start = text;
    for (const char* at = text;; ++at) {
        if (at == text + used || *at == ',') {
            if (count == 4)
                return 0;
            fields[count++] = Field{start, at};
            start = at + 1;
        }
        if (at == text + used)
            break;
    }
    MonitorLimits read{};
    // The horizontal range; given as its maximum alone, it starts at 0.
    const Field h = fields[0];
    if (!DecodeHundredthsRange(h.begin, h.end, &read.hMin100, &read.hMax100, nullptr) &&
        !DecodeHundredths(h.begin, h.end, DecimalRoundUp, &read.hMax100, nullptr))
        return 0;
    read.haveH = 1;
    size_t next = 1;
    if (count > 1 && !IsPolarity(fields[1])) {
        if (!DecodeHundredthsRange(fields[1].begin, fields[1].end, &read.vMin100, &read.vMax100,
                                   nullptr))
            return 0;
        read.haveV = 1;
        next = 2;
    }
    if (count - next > 2)
        return 0;
    for (; next < count; ++next)
        if (!IsPolarity(fields[next]))
            return 0;
    *limits = read;
    return 1;
}

void WidenLimits(MonitorLimits* into, const MonitorLimits& more) {
    struct Range {
        int have;
        uint64_t min, max;
    };
    auto widen = [](int& have, uint64_t& min, uint64_t& max, const Range& other) {
        if (!other.have)
            return;
        min = have && min < other.min ? min : other.min;
        max = have && max > other.max ? max : other.max;
        have = 1;
    };
    widen(into->haveH, into->hMin100, into->hMax100, Range{more.haveH, more.hMin100, more.hMax100});
    widen(into->haveV, into->vMin100, into->vMax100, Range{more.haveV, more.vMin100, more.vMax100});
    uint64_t none = 0;
    widen(into->haveClock, none, into->clock100, Range{more.haveClock, 0, more.clock100});
}
