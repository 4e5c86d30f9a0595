#include "formats/crt_fit.h"

#include "formats/decimal.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// The published figures of the common presets; a combined preset names the one-band presets
// whose bands it lists.
const CrtPreset Presets[] = {
    {"generic_15", "15.625-15.750,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576",
     "15 kHz TV or monitor, the narrowest 15 kHz range", CrtPlain},
    {"arcade_15", "15.625-16.200,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576",
     "15 kHz arcade monitor", CrtPlain},
    {"arcade_15ex", "15.625-16.500,49.5-65,2.0,4.7,8.0,0.064,0.192,1.024,0,0,192,288,448,576",
     "15 kHz arcade monitor with an extended range", CrtPlain},
    {"arcade_25", "24.960,49.5-65,0.8,4.0,3.2,0.080,0.200,1.000,0,0,384,400,768,800",
     "25 kHz arcade monitor", CrtPlain},
    {"arcade_31", "31.400-31.500,49.5-65,0.940,3.770,1.890,0.349,0.064,1.017,0,0,400,512,0,0",
     "31 kHz arcade monitor", CrtPlain},
    {"ntsc", "15.734264,59.94,1.5,4.7,4.7,0.191,0.191,0.953,0,0,192,240,448,480",
     "NTSC TV set, broadcast rasters", CrtNtsc},
    {"pal", "15.625,50,1.5,4.7,5.8,0.064,0.160,1.056,0,0,192,288,448,576",
     "PAL TV set, broadcast rasters", CrtPal},
    {"vga", "31.5,50-70,0.636,3.813,1.906,0.318,0.064,1.048,0,0,128,576,0,0",
     "VGA monitor at 31.5 kHz, polarities by line count", CrtVga},
    {"arcade_15_25", "arcade_15;arcade_25", "arcade monitor taking 15 and 25 kHz", CrtPlain},
    {"arcade_15_25_31", "arcade_15;arcade_25;arcade_31", "arcade monitor taking 15, 25 and 31 kHz",
     CrtPlain},
};

// printf into a reason; the texts are short and their figures bounded, so nothing is cut.
void Say(CrtReason* reason, const char* format, ...) {
    if (!reason)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason->text, sizeof reason->text, format, args);
    va_end(args);
}

// A figure in whole units and thousandths, which texts print without floating-point formatting
// (it would pull its own conversion code into the console program).
struct Milli {
    unsigned whole, part;
};
Milli ToMilli(double value) {
    const double v = value >= 0 && value < 4e9 ? value : value >= 4e9 ? 4e9 : 0;
    const uint64_t m = static_cast<uint64_t>(std::floor(v * 1000 + 0.5));
    return Milli{static_cast<unsigned>(m / 1000), static_cast<unsigned>(m % 1000)};
}

// A piece of text between two separators: [begin, end).
struct Piece {
    const char* begin;
    const char* end;
};

// A number ("15.625"), spaces around it allowed, as near as a double holds it. 1 when it reads.
int ReadNumber(Piece piece, double* value) {
    Decimal d;
    if (!DecodeDecimal(piece.begin, piece.end, &d, nullptr))
        return 0;
    *value = DecimalToDouble(d);
    return 1;
}

// "min-max" or one figure, which then stands for itself within CrtPointTolerance.
int ReadRange(Piece piece, double* low, double* high) {
    Decimal min, max;
    if (DecodeDecimalRange(piece.begin, piece.end, &min, &max, nullptr)) {
        *low = DecimalToDouble(min);
        *high = DecimalToDouble(max);
        return 1;
    }
    if (!ReadNumber(piece, low))
        return 0;
    *high = *low * (1 + CrtPointTolerance);
    *low *= 1 - CrtPointTolerance;
    return 1;
}

// A whole count of lines, 0 to 65535. 1 when it reads.
int ReadLines(Piece piece, uint32_t* lines) {
    double v = 0;
    if (!ReadNumber(piece, &v) || v != std::floor(v) || v > 65535)
        return 0;
    *lines = static_cast<uint32_t>(v);
    return 1;
}

// Cuts [begin, end) at each separator into at most `most` pieces. The count of pieces, or
// most + 1 when there are more.
size_t Cut(const char* begin, const char* end, char separator, Piece* pieces, size_t most) {
    size_t n = 0;
    const char* start = begin;
    for (const char* at = begin;; ++at) {
        if (at == end || *at == separator) {
            if (n == most)
                return most + 1;
            pieces[n++] = Piece{start, at};
            start = at + 1;
        }
        if (at == end)
            return n;
    }
}

// The fourteen fields of one band, read without their bounds. 1 when each reads.
int ReadBandFields(const Piece* f, CrtBand* b) {
    double* times[6] = {&b->hFrontUs, &b->hSyncUs, &b->hBackUs,
                        &b->vFrontMs, &b->vSyncMs, &b->vBackMs};
    for (int i = 0; i < 6; ++i)
        if (!ReadNumber(f[2 + i], times[i]))
            return 0;
    uint32_t polarity[2] = {0, 0};
    for (int i = 0; i < 2; ++i)
        if (!ReadLines(f[8 + i], &polarity[i]) || polarity[i] > 1)
            return 0;
    b->hSyncPositive = static_cast<int>(polarity[0]);
    b->vSyncPositive = static_cast<int>(polarity[1]);
    return ReadRange(f[0], &b->hMinKHz, &b->hMaxKHz) && ReadRange(f[1], &b->vMinHz, &b->vMaxHz) &&
           ReadLines(f[10], &b->progMin) && ReadLines(f[11], &b->progMax) &&
           ReadLines(f[12], &b->interMin) && ReadLines(f[13], &b->interMax);
}

// The bounds a band must keep. 1 when it does; 0 with the reason.
int BandInBounds(const CrtBand& b, const char** reason) {
    const char* why = nullptr;
    if (b.hMinKHz < 14 * (1 - CrtPointTolerance) || b.hMaxKHz > 540 * (1 + CrtPointTolerance))
        why = "the horizontal range must lie within 14 to 540 kHz";
    else if (b.vMinHz < 40 * (1 - CrtPointTolerance) || b.vMaxHz > 200 * (1 + CrtPointTolerance))
        why = "the vertical range must lie within 40 to 200 Hz";
    else if (!(b.hFrontUs > 0 && b.hSyncUs > 0 && b.hBackUs > 0 && b.vFrontMs > 0 &&
               b.vSyncMs > 0 && b.vBackMs > 0))
        why = "every porch and sync must be above 0";
    else if ((b.hFrontUs + b.hSyncUs + b.hBackUs) * b.hMaxKHz >= 1000)
        why = "the horizontal porches and sync must be shorter than a line";
    else if ((b.vFrontMs + b.vSyncMs + b.vBackMs) * b.vMaxHz >= 1000)
        why = "the vertical porches and sync must be shorter than a frame";
    else if (b.progMin == 0 || b.progMax < 128 || b.progMin > b.progMax)
        why = "the progressive lines must be a range of 1 to 65535 reaching 128 at least";
    else if ((b.interMax != 0 || b.interMin != 0) && (b.interMin == 0 || b.interMin > b.interMax))
        why = "the interlaced lines must be a range above 0, or 0,0 for none";
    if (why && reason)
        *reason = why;
    return why == nullptr;
}

} // namespace

const CrtPreset* CrtPresets(size_t* count) {
    if (count)
        *count = sizeof Presets / sizeof Presets[0];
    return Presets;
}

namespace {

// A band given by the name of a one-band preset. 1 and its band; 0 for anything else.
int OnePresetBand(Piece piece, CrtBand* band) {
    const size_t length = static_cast<size_t>(piece.end - piece.begin);
    for (const CrtPreset& p : Presets) {
        CrtMonitor one;
        if (std::strlen(p.name) == length && std::memcmp(p.name, piece.begin, length) == 0 &&
            std::strchr(p.text, ',') &&
            ParseCrtMonitor(p.text, std::strlen(p.text), &one, nullptr) && one.count == 1) {
            *band = one.bands[0];
            band->standard = p.standard;
            return 1;
        }
    }
    return 0;
}

} // namespace

int FindCrtPreset(const char* name, CrtMonitor* monitor) {
    for (const CrtPreset& p : Presets) {
        if (!name || std::strcmp(name, p.name) != 0)
            continue;
        CrtMonitor made;
        if (!ParseCrtMonitor(p.text, std::strlen(p.text), &made, nullptr))
            return 0;
        if (made.count == 1 && p.standard != CrtPlain) // a one-band preset's own text
            made.bands[0].standard = p.standard;
        if (monitor)
            *monitor = made;
        return 1;
    }
    return 0;
}

int ParseCrtMonitor(const char* text, size_t length, CrtMonitor* monitor, const char** reason) {
    Piece bands[CrtMaxBands];
    const size_t count = Cut(text, text + length, ';', bands, CrtMaxBands);
    if (count > CrtMaxBands) {
        if (reason)
            *reason = "a monitor has at most 8 bands";
        return 0;
    }
    CrtMonitor made{};
    for (size_t i = 0; i < count; ++i) {
        Piece fields[14];
        CrtBand& b = made.bands[i];
        if (OnePresetBand(bands[i], &b))
            continue;
        if (Cut(bands[i].begin, bands[i].end, ',', fields, 14) != 14 ||
            !ReadBandFields(fields, &b)) {
            if (reason)
                *reason = "a monitor band is the name of a one-band preset or fourteen numbers: "
                          "H kHz, V Hz, three times in us, three in ms, two polarities, four "
                          "line counts";
            return 0;
        }
        if (!BandInBounds(b, reason))
            return 0;
    }
    made.count = count;
    if (monitor)
        *monitor = made;
    return 1;
}

namespace {

// How a scan counts lines: stored lines x linesPerStored are the lines one refresh period
// draws (2 double-scan, a half interlaced, which draws half the frame each field).
struct Scan {
    double linesPerStored;
    uint32_t flags;
};
const Scan Progressive = {1, 0};
const Scan DoubleScanned = {2, RasterDoubleScan};
const Scan Interlaced = {0.5, RasterInterlace};

// The lines, in the stored count, that a time takes at a line rate; one at least.
uint32_t LinesOf(double ms, double hFreqHz, const Scan& scan) {
    const double lines = std::floor(ms / 1000 * hFreqHz / scan.linesPerStored + 0.5);
    return lines < 1 ? 1 : static_cast<uint32_t>(lines);
}

// Pixels of a time at a clock, in 8-pixel steps; one step at least.
uint32_t PixelsOf(double us, double clockHz) {
    const double steps = std::floor(us / 1e6 * clockHz / 8 + 0.5);
    return steps < 1 ? 8 : static_cast<uint32_t>(steps) * 8;
}

// The rate aimed at: the refresh when inside, else its smallest multiple inside, else the
// nearest limit (*atLimit 1).
double VerticalRate(const CrtBand& b, double refresh, int* atLimit) {
    *atLimit = 0;
    if (refresh >= b.vMinHz && refresh <= b.vMaxHz)
        return refresh;
    if (refresh < b.vMinHz) {
        const double multiple = std::ceil(b.vMinHz / refresh) * refresh;
        if (multiple <= b.vMaxHz)
            return multiple;
    }
    *atLimit = 1;
    return refresh < b.vMinHz ? b.vMinHz : b.vMaxHz;
}

// A TV standard's broadcast line: its samples at 13.5 MHz, BT.601's blanking of them, and its
// frame's lines.
struct BroadcastLine {
    uint32_t samples, blanking, frameLines;
};
const uint64_t Bt601ClockHz = 13500000;
const BroadcastLine NtscLine = {858, 138, 525};
const BroadcastLine PalLine = {864, 144, 625};

// The broadcast line of a band, or null for a band of no TV standard.
const BroadcastLine* BroadcastOf(const CrtBand& b) {
    return b.standard == CrtNtsc ? &NtscLine : b.standard == CrtPal ? &PalLine : nullptr;
}

// The line's rate, in Hz: 15734.27 (NTSC) or 15625 (PAL).
double BroadcastRate(const BroadcastLine& line) {
    return static_cast<double>(Bt601ClockHz) / line.samples;
}

// The sync polarities of the lines the monitor draws (the stored lines, doubled double-scan).
uint32_t Polarities(const CrtBand& b, uint64_t lines) {
    int h = b.hSyncPositive, v = b.vSyncPositive;
    if (b.standard == CrtVga) {
        h = lines == 350;
        v = lines == 400;
    }
    return (h ? RasterHSyncPositive : RasterHSyncNegative) |
           (v ? RasterVSyncPositive : RasterVSyncNegative);
}

// 1 when the stored raster's frequencies, from its clock, are inside the band's ranges; sets
// the fit's frequencies.
int InsideRanges(const CrtBand& b, CrtFit* fit) {
    const Raster& r = fit->raster;
    fit->hFreqKHz = static_cast<double>(r.clockHz) / r.hTotal / 1000;
    fit->realRefreshHz = CrtRasterRefresh(r);
    return fit->hFreqKHz >= b.hMinKHz && fit->hFreqKHz <= b.hMaxKHz &&
           fit->realRefreshHz >= b.vMinHz && fit->realRefreshHz <= b.vMaxHz;
}

// What a try at one width gives.
enum WidthTry {
    WidthFits,    // fitted
    WidthTooSlow, // no clock both inside the ranges and at the lowest clock, one below it
    WidthRefused, // no clock inside the ranges
};

// The width `width` on a broadcast line: the total of the line's family (half the samples at
// 6.75 MHz, whole multiples at as many times 13.5 MHz) nearest the total that the band's times
// give the picture, when it lies within CrtBroadcastReach of it and leaves BT.601's blanking.
// The sync keeps its time, the porches share the rest as the band's times share theirs.
WidthTry BroadcastHorizontal(const CrtBand& b, const BroadcastLine& line, uint32_t width,
                             uint64_t minClockHz, CrtFit* fit) {
    const double rate = BroadcastRate(line);
    const double natural = width / (1 - (b.hFrontUs + b.hSyncUs + b.hBackUs) / 1e6 * rate);
    const uint32_t half = line.samples / 2;
    uint32_t halves = 0; // the total in half lines: 1, 2, 4, 6, ...
    for (uint32_t n = 1; static_cast<uint64_t>(n) * half <= 65535; n = n == 1 ? 2 : n + 2) {
        const double total = static_cast<double>(n) * half;
        if (std::fabs(total - natural) <= CrtBroadcastReach * natural &&
            (halves == 0 || std::fabs(total - natural) < std::fabs(halves * half - natural)))
            halves = n;
    }
    const uint64_t total = static_cast<uint64_t>(halves) * half;
    if (halves == 0 || total < width + static_cast<uint64_t>(halves) * line.blanking / 2)
        return WidthRefused;
    Raster& r = fit->raster;
    r.clockHz = Bt601ClockHz / 2 * halves;
    if (r.clockHz < minClockHz)
        return WidthTooSlow;
    const uint32_t sync =
        static_cast<uint32_t>(std::floor(b.hSyncUs / 1e6 * static_cast<double>(r.clockHz) + 0.5));
    if (total < width + sync + 2ull)
        return WidthRefused; // no room for the porches (the presets' blanking always has it)
    const uint32_t rest = static_cast<uint32_t>(total - width - sync);
    uint32_t front =
        static_cast<uint32_t>(std::floor(rest * b.hFrontUs / (b.hFrontUs + b.hBackUs) + 0.5));
    front = front < 1 ? 1 : front > rest - 1 ? rest - 1 : front;
    r.hDisplay = width;
    r.hSyncStart = width + front;
    r.hSyncEnd = r.hSyncStart + sync;
    r.hTotal = static_cast<uint32_t>(total);
    fit->broadcast = 1;
    return InsideRanges(b, fit) ? WidthFits : WidthRefused;
}

// The width `width` at a line rate: porches and sync from the band's times in 8-pixel steps,
// the clock in 10 kHz rounded to nearest or, failing the ranges or the lowest clock, the other
// way.
WidthTry PlainHorizontal(const CrtBand& b, uint32_t width, double hFreq, uint64_t minClockHz,
                         CrtFit* fit) {
    Raster& r = fit->raster;
    const double blank = (b.hFrontUs + b.hSyncUs + b.hBackUs) / 1e6 * hFreq;
    const double clock = width * hFreq / (1 - blank);
    r.hDisplay = width;
    r.hSyncStart = r.hDisplay + PixelsOf(b.hFrontUs, clock);
    r.hSyncEnd = r.hSyncStart + PixelsOf(b.hSyncUs, clock);
    r.hTotal = r.hSyncEnd + PixelsOf(b.hBackUs, clock);
    fit->broadcast = 0;
    const double exact = r.hTotal * hFreq / 10000;
    const double nearest = std::floor(exact + 0.5);
    const double ways[2] = {nearest, nearest > exact ? nearest - 1 : nearest + 1};
    WidthTry result = WidthRefused;
    for (double steps : ways) {
        if (steps < 1)
            continue;
        r.clockHz = static_cast<uint64_t>(steps) * 10000;
        if (r.clockHz < minClockHz)
            result = WidthTooSlow; // a wider picture has a faster clock
        else if (InsideRanges(b, fit))
            return WidthFits;
    }
    return result;
}

// The first whole times wider that may reach the lowest clock. Below it none can: at f times
// the width, the porches in 8-pixel steps add at most 24 pixels to the total the times give,
// the 10 kHz rounding at most 10 kHz to the clock, and a broadcast line (within 3 % of that
// total, at a line rate within 1 % of hFreq) less than 5 %.
uint32_t FirstFactor(const CrtBand& b, const CrtRequest& q, double hFreq) {
    const double blank = (b.hFrontUs + b.hSyncUs + b.hBackUs) / 1e6 * hFreq;
    const double perWidth = q.width * hFreq / (1 - blank) * 1.05;
    const double below = static_cast<double>(q.minClockHz) - 24 * hFreq - 10000;
    const double first = below > perWidth ? std::ceil(below / perWidth) : 1;
    return first < 65536 ? static_cast<uint32_t>(first) : 65536;
}

// The horizontal part at a line rate: the request's width, or the fewest whole times it that
// bring the stored clock to the lowest clock; on a TV standard's band a broadcast line first.
// 1 when the rounded frequencies stay inside the band's ranges.
int FitHorizontal(const CrtBand& b, const CrtRequest& q, double hFreq, CrtFit* fit) {
    const BroadcastLine* line = BroadcastOf(b);
    for (uint32_t factor = FirstFactor(b, q, hFreq);
         static_cast<uint64_t>(factor) * q.width <= 65535; ++factor) {
        fit->widthFactor = factor;
        const uint32_t width = q.width * factor;
        WidthTry got =
            line ? BroadcastHorizontal(b, *line, width, q.minClockHz, fit) : WidthRefused;
        if (got != WidthFits) {
            const WidthTry plain = PlainHorizontal(b, width, hFreq, q.minClockHz, fit);
            got = plain == WidthRefused && got == WidthTooSlow ? WidthTooSlow : plain;
        }
        if (got != WidthTooSlow)
            return got == WidthFits;
    }
    return 0; // wider than the stored form's display takes
}

// The vertical part of a total of `total` stored lines, with the lines beyond the porches split
// between the front and back porch. 1 when the porches fit the total.
int FitVertical(const CrtBand& b, uint32_t lines, uint32_t total, double hFreq, const Scan& scan,
                Raster* r) {
    const uint32_t front = LinesOf(b.vFrontMs, hFreq, scan);
    const uint32_t sync = LinesOf(b.vSyncMs, hFreq, scan);
    const uint32_t back = LinesOf(b.vBackMs, hFreq, scan);
    if (static_cast<uint64_t>(lines) + front + sync + back > total)
        return 0;
    const uint32_t added = total - lines - front - sync - back;
    r->vDisplay = lines;
    r->vSyncStart = lines + front + added / 2;
    r->vSyncEnd = r->vSyncStart + sync;
    r->vTotal = total;
    return 1;
}

// One total of stored lines at a line rate: the vertical part, then the horizontal. 1 when the
// timing fits and stores.
int FitTotal(const CrtBand& b, const CrtRequest& q, const Scan& scan, uint32_t total, double hFreq,
             CrtFit* fit) {
    if (!FitVertical(b, q.height, total, hFreq, scan, &fit->raster))
        return 0;
    TimingBlock block;
    return FitHorizontal(b, q, hFreq, fit) && RasterToTimingBlock(fit->raster, &block, nullptr);
}

// A TV standard's totals of stored lines for a scan, the one whose broadcast refresh is nearer
// the rate aimed at first: interlaced the frame's lines, progressive the field's two counts,
// double-scan half the even one. *count gets their number.
void BroadcastTotals(const BroadcastLine& line, const Scan& scan, double rate, uint32_t totals[2],
                     size_t* count) {
    const uint32_t field = line.frameLines / 2; // 262 or 312, and one more
    if (scan.flags & RasterInterlace) {
        totals[0] = line.frameLines;
        *count = 1;
    } else if (scan.flags & RasterDoubleScan) {
        totals[0] = field / 2;
        *count = 1;
    } else {
        const double fieldRate = BroadcastRate(line);
        const int longerNearer =
            std::fabs(fieldRate / (field + 1) - rate) < std::fabs(fieldRate / field - rate);
        totals[0] = longerNearer ? field + 1 : field;
        totals[1] = longerNearer ? field : field + 1;
        *count = 2;
    }
}

// One band and scan: totals from the fewest lines whose rate reaches the bottom of the
// horizontal range up to its top; a TV standard's broadcast totals, at the line rate of the rate
// aimed at kept inside the range. 1 and the fit; 0 with the reason.
int FitScan(const CrtBand& b, const CrtRequest& q, const Scan& scan, uint32_t boardTotal,
            CrtFit* fit, CrtReason* reason) {
    const double perTotal = scan.linesPerStored * fit->vRateHz; // Hz per stored line
    fit->raster = Raster{};
    const uint64_t drawn = scan.flags & RasterDoubleScan ? 2ull * q.height : q.height;
    fit->raster.flags = scan.flags | Polarities(b, drawn);
    if (const BroadcastLine* line = BroadcastOf(b)) {
        uint32_t totals[2];
        size_t count = 0;
        BroadcastTotals(*line, scan, fit->vRateHz, totals, &count);
        for (size_t i = 0; i < count; ++i) {
            const double hFreq = totals[i] * perTotal;
            const double low = b.hMinKHz * 1000, high = b.hMaxKHz * 1000;
            if (FitTotal(b, q, scan, totals[i],
                         hFreq < low    ? low
                         : hFreq > high ? high
                                        : hFreq,
                         fit))
                return 1;
        }
    } else {
        const double first = std::ceil(b.hMinKHz * 1000 / perTotal);
        const double last = std::floor(b.hMaxKHz * 1000 / perTotal);
        // The board's own total keeps its line rate, when the refresh is shown as it is.
        if (boardTotal && !(scan.flags & RasterInterlace) && fit->vRateHz == q.refreshHz &&
            boardTotal >= first && boardTotal <= last &&
            FitTotal(b, q, scan, boardTotal, boardTotal * perTotal, fit))
            return 1;
        for (double t = first < q.height ? q.height : first; t <= last; ++t) {
            const uint32_t total = static_cast<uint32_t>(t);
            if ((scan.flags & RasterInterlace) && total % 2 == 0)
                continue; // an odd total offsets the two fields by half a line
            if (FitTotal(b, q, scan, total, total * perTotal, fit))
                return 1;
        }
    }
    const double blank = (b.vFrontMs + b.vSyncMs + b.vBackMs) / 1000 * fit->vRateHz;
    const double need = q.height * perTotal / (1 - blank) / 1000;
    const Milli rate = ToMilli(fit->vRateHz), needed = ToMilli(need), top = ToMilli(b.hMaxKHz);
    if (need > b.hMaxKHz)
        Say(reason,
            "%u lines at %u.%03u Hz need %u.%03u kHz, above the monitor's top of %u.%03u kHz",
            q.height, rate.whole, rate.part, needed.whole, needed.part, top.whole, top.part);
    else
        Say(reason,
            "the 10 kHz pixel clock cannot keep %ux%u at %u.%03u Hz inside the monitor's ranges",
            q.width, q.height, rate.whole, rate.part);
    return 0;
}

} // namespace

namespace {

// The band's progressive fit: single-scan when the lines are in its range, double-scan when
// twice the lines are; both allowed, the one that adds fewer lines of border. 1 and the fit.
int FitProgressive(const CrtBand& b, const CrtRequest& q, uint32_t boardTotal, CrtFit* fit,
                   CrtReason* reason) {
    const uint32_t lines = q.height;
    CrtFit single = *fit, doubled = *fit;
    const int singleOk = lines >= b.progMin && lines <= b.progMax &&
                         FitScan(b, q, Progressive, boardTotal, &single, reason);
    const int doubleOk = 2ull * lines >= b.progMin && 2ull * lines <= b.progMax &&
                         FitScan(b, q, DoubleScanned, boardTotal, &doubled, reason);
    if (!singleOk && !doubleOk)
        return 0;
    const uint64_t singleSpare = single.raster.vTotal - lines;
    const uint64_t doubleSpare = 2ull * (doubled.raster.vTotal - lines);
    *fit = singleOk && (!doubleOk || singleSpare <= doubleSpare) ? single : doubled;
    return 1;
}

// The reason a band gives when the lines are in none of its ranges.
void LinesReason(const CrtBand& b, uint32_t lines, CrtReason* reason) {
    if (b.interMax == 0)
        return Say(reason, "%u lines are outside the monitor's %u-%u progressive lines", lines,
                   b.progMin, b.progMax);
    Say(reason,
        "%u lines are outside the monitor's %u-%u progressive and %u-%u interlaced "
        "lines",
        lines, b.progMin, b.progMax, b.interMin, b.interMax);
}

int InRange(uint32_t lines, uint32_t low, uint32_t high) {
    return high != 0 && lines >= low && lines <= high;
}

// One band, progressive (with double-scan) or interlaced. 1 and the fit; 0 with the reason,
// which stays empty when the lines are in none of the band's ranges for that scan.
int FitBand(const CrtMonitor& monitor, size_t band, const CrtRequest& q, uint32_t boardTotal,
            int interlaced, CrtFit* fit, CrtReason* reason) {
    const CrtBand& b = monitor.bands[band];
    const int inLines = interlaced ? InRange(q.height, b.interMin, b.interMax)
                                   : InRange(q.height, b.progMin, b.progMax) ||
                                         InRange(2 * q.height, b.progMin, b.progMax);
    if (!inLines)
        return 0;
    CrtFit made{};
    made.band = band;
    made.vRateHz = VerticalRate(b, q.refreshHz, &made.atLimit);
    const int ok = interlaced ? FitScan(b, q, Interlaced, 0, &made, reason)
                              : FitProgressive(b, q, boardTotal, &made, reason);
    if (ok && fit)
        *fit = made;
    return ok;
}

} // namespace

int FitCrtMode(const CrtMonitor& monitor, const CrtRequest& q, CrtFit* fit, CrtReason* reason) {
    return FitCrtBoardMode(monitor, q, 0, fit, reason);
}

int FitCrtBoardMode(const CrtMonitor& monitor, const CrtRequest& q, uint32_t boardTotal,
                    CrtFit* fit, CrtReason* reason) {
    if (q.width == 0 || q.height == 0 || q.width > 65535 || q.height > 65535 ||
        !(q.refreshHz >= 1 && q.refreshHz <= 1000)) {
        Say(reason, "width and height must be 1 to 65535, refresh 1 to 1000 Hz");
        return 0;
    }
    if (monitor.count == 0 || monitor.count > CrtMaxBands) {
        Say(reason, "the monitor has no band");
        return 0;
    }
    // Progressive in any band before interlaced in any: interlace only when the lines need it.
    // The reason kept is that of the first band whose line ranges hold the lines.
    int said = 0;
    for (int interlaced = 0; interlaced < 2; ++interlaced) {
        for (size_t i = 0; i < monitor.count; ++i) {
            CrtReason bandWhy{};
            if (FitBand(monitor, i, q, boardTotal, interlaced, fit, &bandWhy))
                return 1;
            if (!said && bandWhy.text[0] && reason)
                *reason = bandWhy;
            said = said || bandWhy.text[0];
        }
    }
    if (!said)
        LinesReason(monitor.bands[0], q.height, reason);
    return 0;
}

double CrtRasterRefresh(const Raster& r) {
    if (r.hTotal == 0 || r.vTotal == 0)
        return 0;
    double rate = static_cast<double>(r.clockHz) / r.hTotal / r.vTotal;
    if (r.flags & RasterInterlace)
        rate *= 2;
    if (r.flags & RasterDoubleScan)
        rate /= 2;
    return rate;
}
