// A monitor's limits from its EDID and from its setup file's mode values.
#include "formats/monitor_limits.h"

namespace {

// A text being read: [at, end).
struct Cursor {
    const char* at;
    const char* end;

    void SkipSpaces() {
        while (at < end && *at == ' ')
            ++at;
    }
    int Take(char c) {
        SkipSpaces();
        if (at < end && *at == c) {
            ++at;
            return 1;
        }
        return 0;
    }
};

// A decimal number into hundredths: digits, then optionally a point and digits (those past the
// second dropped). 1 when read and below 10^12 hundredths.
int ReadHundredths(Cursor& c, uint64_t* value) {
    c.SkipSpaces();
    uint64_t whole = 0;
    const char* start = c.at;
    for (; c.at < c.end && *c.at >= '0' && *c.at <= '9'; ++c.at)
        if ((whole = whole * 10 + static_cast<uint64_t>(*c.at - '0')) >= 10000000000ull)
            return 0;
    if (c.at == start)
        return 0;
    uint64_t fraction = 0;
    if (c.at < c.end && *c.at == '.') {
        ++c.at;
        for (int digits = 0; c.at < c.end && *c.at >= '0' && *c.at <= '9'; ++c.at, ++digits)
            if (digits < 2)
                fraction += static_cast<uint64_t>(*c.at - '0') * (digits == 0 ? 10 : 1);
    }
    *value = whole * 100 + fraction;
    return 1;
}

// "[min-]max", the minimum optional when `minOptional`. 1 with min <= max.
int ReadRange(Cursor& c, int minOptional, uint64_t* min, uint64_t* max) {
    uint64_t first = 0;
    if (!ReadHundredths(c, &first))
        return 0;
    if (!c.Take('-')) {
        *min = 0;
        *max = first;
        return minOptional;
    }
    *min = first;
    return ReadHundredths(c, max) && *min <= *max;
}

// The rest after the ranges: up to two polarities, "+" or "-", each after a comma.
int ReadPolarities(Cursor& c, int taken) {
    for (; taken < 2 && c.Take(','); ++taken)
        if (!c.Take('+') && !c.Take('-'))
            return 0;
    c.SkipSpaces();
    return c.at == c.end;
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

// After the horizontal range, a field that is a polarity ends the ranges; any other is the
// vertical range.
int ParseSetupModeValue(const char* text, size_t length, MonitorLimits* limits) {
    size_t used = 0;
    while (used < length && text[used])
        ++used;
    Cursor c{text, text + used};
    MonitorLimits read{};
    if (!ReadRange(c, 1, &read.hMin100, &read.hMax100))
        return 0;
    read.haveH = 1;
    Cursor look = c;
    int polarities = 0;
    if (look.Take(',')) {
        Cursor polarity = look;
        if (polarity.Take('+') || polarity.Take('-')) {
            c = polarity;
            polarities = 1;
        } else if (!ReadRange(look, 0, &read.vMin100, &read.vMax100)) {
            return 0;
        } else {
            c = look;
            read.haveV = 1;
        }
    }
    if (!ReadPolarities(c, polarities))
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
