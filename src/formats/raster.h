// A display raster as the console companion reads, computes and prints it, and its passage to and
// from the stored TimingBlock.
//
// A Raster counts the way X modelines do: sync start and sync end, not sync start and width.
//   hDisplay <= hSyncStart <= hSyncEnd <= hTotal, the same vertically
//   clockHz   pixel clock in Hz
// Stored TimingBlock words (see store/timing.h), as written from a Raster:
//   0  flags: DoubleScan 1, Interlaced 2, HSyncNegative 4, VSyncNegative 8, nothing else
//   1  hTotal      2  hDisplay    3  hSyncStart  4  hSyncEnd - hSyncStart
//   5  vTotal      6  vDisplay    7  vSyncStart  8  vSyncEnd - vSyncStart
//   9  pixel clock in 10 kHz units, rounded to nearest (half up)
//   10..15  overscan, 0       16  the checksum of words 0..15
// A polarity that the Raster leaves open is stored as positive (its bit clear).
//
// Frequencies are given in hundredths, rounded half up, as X modelines count them: the vertical
// rate is doubled for interlaced and halved for double-scan rasters.
#pragma once

#include "store/timing.h"

#include <cstddef>
#include <cstdint>

enum RasterFlags {
    RasterInterlace = 1,
    RasterDoubleScan = 2,
    RasterHSyncPositive = 4,
    RasterHSyncNegative = 8,
    RasterVSyncPositive = 16,
    RasterVSyncNegative = 32
};

struct Raster {
    uint32_t hDisplay;
    uint32_t hSyncStart;
    uint32_t hSyncEnd;
    uint32_t hTotal;
    uint32_t vDisplay;
    uint32_t vSyncStart;
    uint32_t vSyncEnd;
    uint32_t vTotal;
    uint64_t clockHz;
    uint32_t flags; // RasterFlags
};

// Frequencies of a raster, each in hundredths of its unit.
struct RasterFigures {
    uint64_t clockMHz100; // pixel clock, MHz x 100
    uint64_t hFreqKHz100; // clock / hTotal, kHz x 100
    uint64_t vFreqHz100;  // clock / (hTotal * vTotal), x2 interlaced, /2 double-scan; Hz x 100
};

// 1 when the raster is usable: non-zero displays, totals and clock, each sync inside its total
// (display <= sync start <= sync end <= total), and no polarity given both ways. Otherwise 0,
// with a short reason in *reason when reason is not null.
int CheckRaster(const Raster& raster, const char** reason);

// The pixel clock in the stored 10 kHz unit, rounded half up.
uint64_t ClockTo10kHz(uint64_t clockHz);

// Fills all seventeen words of a block from a raster that CheckRaster accepts and whose words
// the stored form gives back (each below TimingWordLimit, the rounded clock not 0). 1 when
// filled, else 0 with a reason and the block untouched.
int RasterToTimingBlock(const Raster& raster, TimingBlock* block, const char** reason);

// Reads a block back into a raster: sync ends are start + width, the clock is word 9 x 10 kHz,
// both polarities are explicit, flag bits past the four are ignored. 0 (raster untouched) when a
// sync end would pass 32 bits, which only a hand-made block can give.
int TimingBlockToRaster(const TimingBlock& block, Raster* raster);

// Computes the three figures. 1 when all three are defined; 0 when hTotal or vTotal is 0, with
// the figures that depend on it set to 0 (the clock is always filled).
int ComputeRasterFigures(const Raster& raster, RasterFigures* figures);

// Writes a number of hundredths as decimal text with two decimals ("47.82") into out (size
// bytes, with its zero). 0 when it does not fit.
int FormatHundredths(uint64_t hundredths, char* out, size_t size);
