#include "formats/timing_calc.h"

#include <cmath>

namespace {

const double CellGranularity = 8;
const double MinVSyncBackPorchUs = 550;

// Rounds to single precision. The X tools keep their intermediate steps in single precision;
// rounding at the same steps makes every number agree with theirs, exact ties included.
double F(double x) {
    return static_cast<float>(x);
}

void SetReason(const char** reason, const char* text) {
    if (reason)
        *reason = text;
}

// The checks both calculators begin with: a raster to fill and inputs in the accepted ranges.
// 1 when the raster may be computed; 0 with a reason.
int InputsAccepted(uint32_t width, uint32_t height, uint32_t refresh, Raster* raster,
                   const char** reason) {
    if (!raster) {
        SetReason(reason, "no raster");
        return 0;
    }
    if (width == 0 || height == 0 || width > CalcMaxSize || height > CalcMaxSize) {
        SetReason(reason, "width and height must be 1 to 65535");
        return 0;
    }
    if (refresh == 0 || refresh > CalcMaxRefresh) {
        SetReason(reason, "refresh must be 1 to 1000 Hz");
        return 0;
    }
    return 1;
}

// Every number of the result as a double, checked before it becomes an integer.
struct RasterFigure {
    double hDisplay, hSyncStart, hSyncEnd, hTotal;
    double vDisplay, vSyncStart, vSyncEnd, vTotal;
    double clockHz;
};

int Finish(const RasterFigure& f, uint32_t flags, Raster* raster, const char** reason) {
    const double counts[8] = {f.hDisplay, f.hSyncStart, f.hSyncEnd, f.hTotal,
                              f.vDisplay, f.vSyncStart, f.vSyncEnd, f.vTotal};
    Raster r{};
    uint32_t* out[8] = {&r.hDisplay, &r.hSyncStart, &r.hSyncEnd, &r.hTotal,
                        &r.vDisplay, &r.vSyncStart, &r.vSyncEnd, &r.vTotal};
    for (int i = 0; i < 8; ++i) {
        if (!(counts[i] >= 0 && counts[i] <= 4294967295.0)) {
            SetReason(reason, "the formula gives no usable timing for this mode");
            return 0;
        }
        *out[i] = static_cast<uint32_t>(counts[i]);
    }
    if (!(f.clockHz >= 0 && f.clockHz < 9007199254740992.0)) {
        SetReason(reason, "the formula gives no usable timing for this mode");
        return 0;
    }
    r.clockHz = static_cast<uint64_t>(std::floor(f.clockHz + 0.5));
    r.flags = flags;
    if (!CheckRaster(r, nullptr) || r.hSyncStart == r.hSyncEnd || r.vSyncStart == r.vSyncEnd) {
        SetReason(reason, "the formula gives no usable timing for this mode");
        return 0;
    }
    *raster = r;
    return 1;
}

// Vertical sync lines of CVT, from the aspect ratio of the rounded width and the height.
// The X tool takes a ratio only when the height is a whole multiple of the ratio's second
// number as written, so 1280 x 768 (15:9 reduced to 5:3) and 648 x 405 (16:10 with an odd
// multiple of 5) get 10 lines.
double CvtVSyncLines(uint64_t width, uint64_t height) {
    struct Ratio {
        uint64_t across, down;
        double lines;
    } const ratios[5] = {{4, 3, 4}, {16, 9, 5}, {16, 10, 6}, {5, 4, 7}, {15, 9, 7}};
    for (const Ratio& r : ratios)
        if (height % r.down == 0 && height / r.down * r.across == width)
            return r.lines;
    return 10;
}

const double CvtFrontPorch = 3; // lines

// CVT's blanking, its line period estimate and its polarity, by one kind of blanking.
struct CvtBlanking {
    double hBlank, hSync, totalLines, hPeriodEst;
    uint32_t flags;
};

// Normal blanking: the back porch from 550 us of sync and back porch (never less than the sync
// and front porch), the duty cycle from the period, the sync 8 % of the line.
void CvtNormalBlanking(double hPixels, double vLines, double vSync, uint32_t refresh,
                       CvtBlanking* b) {
    b->hPeriodEst = F(F(1e6 / refresh - MinVSyncBackPorchUs) / (vLines + CvtFrontPorch));
    double vSyncBackPorch = std::floor(F(MinVSyncBackPorchUs / b->hPeriodEst)) + 1;
    // The X tool keeps at least three lines of back porch here, where the standard asks
    // six: only modes with 10 lines of sync and few lines are concerned.
    if (vSyncBackPorch < vSync + CvtFrontPorch)
        vSyncBackPorch = vSync + CvtFrontPorch;
    b->totalLines = vLines + vSyncBackPorch + CvtFrontPorch;
    double dutyCycle = 30 - 300 * b->hPeriodEst / 1000;
    if (dutyCycle < 20)
        dutyCycle = 20;
    b->hBlank = std::floor(hPixels * dutyCycle / (100 - dutyCycle) / (2 * CellGranularity)) * 2 *
                CellGranularity;
    // 8 % of the line less one pixel, in whole cells rounded down, as the X tool gives it.
    // The total is a whole number of double cells, so this is exact in integers.
    const uint64_t total = static_cast<uint64_t>(hPixels + b->hBlank);
    b->hSync = total >= 13 ? static_cast<double>((2 * total - 25) / 200 * 8) : 0;
    b->flags = RasterHSyncNegative | RasterVSyncPositive;
}

// Reduced blanking: fixed horizontal blanking and sync, the vertical blanking from 460 us
// (never less than front porch, sync and six lines of back porch).
void CvtReducedBlanking(double vLines, double vSync, uint32_t refresh, CvtBlanking* b) {
    const double minVBlankUs = 460, minBackPorch = 6;
    b->hBlank = 160;
    b->hSync = 32;
    b->hPeriodEst = F(F(1e6 / refresh - minVBlankUs) / vLines);
    double vbiLines = std::floor(F(minVBlankUs / b->hPeriodEst)) + 1;
    if (vbiLines < CvtFrontPorch + vSync + minBackPorch)
        vbiLines = CvtFrontPorch + vSync + minBackPorch;
    b->totalLines = vLines + vbiLines;
    b->flags = RasterHSyncPositive | RasterVSyncNegative;
}

// The numbers of a CVT raster from its blanking: the sync ends half the blanking before the
// total, the clock in whole 250 kHz steps.
void CvtFigure(double hPixels, double vLines, double vSync, const CvtBlanking& b, RasterFigure* f) {
    const double totalPixels = hPixels + b.hBlank;
    // Whole kilohertz first, then whole 250 kHz steps, both rounded down.
    const double clockKHz = std::floor(totalPixels * 1000 / b.hPeriodEst);
    f->hDisplay = hPixels;
    f->hSyncEnd = totalPixels - b.hBlank / 2;
    f->hSyncStart = f->hSyncEnd - b.hSync;
    f->hTotal = totalPixels;
    f->vDisplay = vLines;
    f->vSyncStart = vLines + CvtFrontPorch;
    f->vSyncEnd = f->vSyncStart + vSync;
    f->vTotal = b.totalLines;
    f->clockHz = std::floor(clockKHz / 250) * 250000;
    if (hPixels == 1360 && vLines == 768) {
        // The X tool gives the common 1366-pixel panel width here, keeping the totals.
        f->hDisplay = 1366;
        f->hSyncStart -= 1;
        f->hSyncEnd -= 1;
    }
}

} // namespace

int ComputeGtfRaster(uint32_t width, uint32_t height, uint32_t refresh, Raster* raster,
                     const char** reason) {
    if (!InputsAccepted(width, height, refresh, raster, reason))
        return 0;
    const double M = 600, C = 40, K = 128, J = 20;
    const double cPrime = (C - J) * K / 256 + J; // 30
    const double mPrime = K / 256 * M;           // 300
    const double minPorch = 1, vSyncLines = 3;

    // rint: a half cell goes to the even cell.
    const double hPixels = F(std::rint(width / CellGranularity) * CellGranularity);
    const double vLines = height;
    const double fieldRate = refresh;
    const double hPeriodEst =
        F((1 / fieldRate - MinVSyncBackPorchUs / 1e6) / (vLines + minPorch) * 1e6);
    const double vSyncBackPorch = F(std::rint(MinVSyncBackPorchUs / hPeriodEst));
    const double totalLines = F(vLines + vSyncBackPorch + minPorch);
    const double fieldRateEst = F(1 / hPeriodEst / totalLines * 1e6);
    const double hPeriod = F(hPeriodEst / F(fieldRate / fieldRateEst));
    const double dutyCycle = F(cPrime - mPrime * hPeriod / 1000);
    const double hBlank =
        F(std::rint(hPixels * dutyCycle / (100 - dutyCycle) / (2 * CellGranularity)) * 2 *
          CellGranularity);
    const double totalPixels = F(hPixels + hBlank);
    // Sync is 8 % of the line in whole cells, that is totalPixels / 100 cells: exact in
    // integers, and a multiple of 16 pixels never lands on half a cell.
    const uint64_t total = static_cast<uint64_t>(totalPixels);
    const double hSync = static_cast<double>((total + 50) / 100 * 8);
    const double frontPorch = hBlank / 2 - hSync;

    RasterFigure f;
    f.hDisplay = hPixels;
    f.hSyncStart = hPixels + frontPorch;
    f.hSyncEnd = f.hSyncStart + hSync;
    f.hTotal = totalPixels;
    f.vDisplay = vLines;
    f.vSyncStart = vLines + minPorch;
    f.vSyncEnd = f.vSyncStart + vSyncLines;
    f.vTotal = totalLines;
    // The clock to 10 kHz as the X tool prints it: its single-precision megahertz, a half going
    // to the even hundredth. Times 100 that value is exact in double precision.
    f.clockHz = std::nearbyint(F(totalPixels / hPeriod) * 100) * 10000;
    return Finish(f, RasterHSyncNegative | RasterVSyncPositive, raster, reason);
}

int ComputeCvtRaster(uint32_t width, uint32_t height, uint32_t refresh, int reducedBlanking,
                     Raster* raster, const char** reason) {
    if (!InputsAccepted(width, height, refresh, raster, reason))
        return 0;
    if (reducedBlanking && refresh % 60 != 0) {
        SetReason(reason, "reduced blanking needs a refresh that is a multiple of 60 Hz");
        return 0;
    }
    const double hPixels = std::ceil(width / CellGranularity) * CellGranularity;
    const double vLines = height;
    const double vSync = CvtVSyncLines(static_cast<uint64_t>(hPixels), height);
    CvtBlanking blanking;
    if (reducedBlanking)
        CvtReducedBlanking(vLines, vSync, refresh, &blanking);
    else
        CvtNormalBlanking(hPixels, vLines, vSync, refresh, &blanking);
    RasterFigure f;
    CvtFigure(hPixels, vLines, vSync, blanking, &f);
    return Finish(f, blanking.flags, raster, reason);
}
