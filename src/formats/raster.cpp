#include "formats/raster.h"

namespace {

// A clock past this is refused: it keeps every figure's arithmetic inside 64 bits.
const uint64_t RasterClockLimitHz = 1ull << 48;

void SetReason(const char** reason, const char* text) {
    if (reason)
        *reason = text;
}

int Ordered(uint32_t display, uint32_t syncStart, uint32_t syncEnd, uint32_t total) {
    return display <= syncStart && syncStart <= syncEnd && syncEnd <= total;
}

// num / den rounded half up; den is not 0.
uint64_t RoundedRatio(uint64_t num, uint64_t den) {
    uint64_t q = num / den;
    uint64_t r = num % den;
    return r >= den - r ? q + 1 : q;
}

} // namespace

int CheckRaster(const Raster& r, const char** reason) {
    if (r.hDisplay == 0 || r.vDisplay == 0) {
        SetReason(reason, "display size is 0");
        return 0;
    }
    if (r.hTotal == 0 || r.vTotal == 0) {
        SetReason(reason, "total is 0");
        return 0;
    }
    if (r.clockHz == 0) {
        SetReason(reason, "pixel clock is 0");
        return 0;
    }
    if (r.clockHz > RasterClockLimitHz) {
        SetReason(reason, "pixel clock too large");
        return 0;
    }
    if (!Ordered(r.hDisplay, r.hSyncStart, r.hSyncEnd, r.hTotal)) {
        SetReason(reason, "horizontal numbers out of order (display, sync start, sync end, total)");
        return 0;
    }
    if (!Ordered(r.vDisplay, r.vSyncStart, r.vSyncEnd, r.vTotal)) {
        SetReason(reason, "vertical numbers out of order (display, sync start, sync end, total)");
        return 0;
    }
    if ((r.flags & RasterHSyncPositive) && (r.flags & RasterHSyncNegative)) {
        SetReason(reason, "horizontal sync both positive and negative");
        return 0;
    }
    if ((r.flags & RasterVSyncPositive) && (r.flags & RasterVSyncNegative)) {
        SetReason(reason, "vertical sync both positive and negative");
        return 0;
    }
    return 1;
}

uint64_t ClockTo10kHz(uint64_t clockHz) {
    return clockHz / 10000 + (clockHz % 10000 >= 5000);
}

int RasterToTimingBlock(const Raster& r, TimingBlock* block, const char** reason) {
    if (!block) {
        SetReason(reason, "no block");
        return 0;
    }
    if (!CheckRaster(r, reason))
        return 0;
    const uint64_t clock = ClockTo10kHz(r.clockHz);
    if (clock == 0) {
        SetReason(reason, "pixel clock rounds to 0 in 10 kHz units");
        return 0;
    }
    const uint64_t words[9] = {r.hTotal, r.hDisplay, r.hSyncStart, r.hSyncEnd - r.hSyncStart,
                               r.vTotal, r.vDisplay, r.vSyncStart, r.vSyncEnd - r.vSyncStart,
                               clock};
    for (uint64_t w : words) {
        if (w >= TimingWordLimit) {
            SetReason(reason, "a number too large for the stored form (160000000 or more)");
            return 0;
        }
    }
    TimingBlock made{};
    uint32_t flags = 0;
    if (r.flags & RasterDoubleScan)
        flags |= DoubleScan;
    if (r.flags & RasterInterlace)
        flags |= Interlaced;
    if (r.flags & RasterHSyncNegative)
        flags |= HSyncNegative;
    if (r.flags & RasterVSyncNegative)
        flags |= VSyncNegative;
    made.words[TimingFlagsWord] = flags;
    for (int i = 0; i < 9; ++i)
        made.words[HorizontalTotal + i] = static_cast<uint32_t>(words[i]);
    made.words[TimingChecksumWord] = ComputeTimingChecksum(made.words);
    *block = made;
    return 1;
}

int TimingBlockToRaster(const TimingBlock& block, Raster* raster) {
    if (!raster)
        return 0;
    const uint32_t* w = block.words;
    const uint64_t hEnd = static_cast<uint64_t>(w[HorizontalSyncStart]) + w[HorizontalSyncWidth];
    const uint64_t vEnd = static_cast<uint64_t>(w[VerticalSyncStart]) + w[VerticalSyncWidth];
    if (hEnd > UINT32_MAX || vEnd > UINT32_MAX)
        return 0;
    Raster r{};
    r.hDisplay = w[HorizontalDisplay];
    r.hSyncStart = w[HorizontalSyncStart];
    r.hSyncEnd = static_cast<uint32_t>(hEnd);
    r.hTotal = w[HorizontalTotal];
    r.vDisplay = w[VerticalDisplay];
    r.vSyncStart = w[VerticalSyncStart];
    r.vSyncEnd = static_cast<uint32_t>(vEnd);
    r.vTotal = w[VerticalTotal];
    r.clockHz = static_cast<uint64_t>(w[PixelClock]) * 10000;
    const uint32_t f = w[TimingFlagsWord];
    r.flags = (f & DoubleScan ? RasterDoubleScan : 0) | (f & Interlaced ? RasterInterlace : 0) |
              (f & HSyncNegative ? RasterHSyncNegative : RasterHSyncPositive) |
              (f & VSyncNegative ? RasterVSyncNegative : RasterVSyncPositive);
    *raster = r;
    return 1;
}

int ComputeRasterFigures(const Raster& r, RasterFigures* figures) {
    if (!figures)
        return 0;
    RasterFigures f{};
    if (r.clockHz > RasterClockLimitHz) {
        *figures = f;
        return 0;
    }
    f.clockMHz100 = RoundedRatio(r.clockHz, 10000);
    int whole = 1;
    if (r.hTotal)
        f.hFreqKHz100 = RoundedRatio(r.clockHz, 10ull * r.hTotal);
    else
        whole = 0;
    if (r.hTotal && r.vTotal) {
        // clock * 200 stays below 2^56; hTotal * vTotal below 2^64.
        uint64_t num = r.clockHz * 100;
        uint64_t den = static_cast<uint64_t>(r.hTotal) * r.vTotal;
        if (r.flags & RasterInterlace)
            num *= 2;
        if (r.flags & RasterDoubleScan) {
            if (den > (UINT64_MAX >> 1))
                num = 0; // far below a hundredth of a hertz
            else
                den *= 2;
        }
        f.vFreqHz100 = RoundedRatio(num, den);
    } else {
        whole = 0;
    }
    *figures = f;
    return whole;
}

int FormatHundredths(uint64_t hundredths, char* out, size_t size) {
    char digits[24];
    size_t n = 0;
    uint64_t v = hundredths;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v || n < 3);        // at least one digit before the point
    const size_t needed = n + 2; // the point and the zero
    if (!out || size < needed)
        return 0;
    size_t at = 0;
    while (n > 2)
        out[at++] = digits[--n];
    out[at++] = '.';
    out[at++] = digits[1];
    out[at++] = digits[0];
    out[at] = '\0';
    return 1;
}
