// Fitting a mode to a CRT: the monitor presets, the custom monitor text, and the raster that a
// width, height and refresh get on a monitor with narrow ranges (15, 25 and 31 kHz sets, TVs).
//
// A monitor is one or more bands. A band is a horizontal range (kHz), a vertical range (Hz), the
// porches and sync as times, the sync polarities, and the active line counts it takes
// progressive and interlaced. A range given as one figure (a TV's 15.625 kHz) is that figure
// within CrtPointTolerance either way.
//
// The broadcast rasters hit a TV's figures exactly, since the stored clock keeps 10 kHz steps:
// PAL's 864 x 625 at 13.5 MHz gives 15.625 kHz and 50 Hz fields, NTSC's 858 x 525 at 13.5 MHz
// 15.734 kHz and 59.94 Hz fields. The bands of the `ntsc` and `pal` presets use them (the
// CrtStandard of the band): the line totals are always the broadcast ones (interlaced 525 or
// 625; progressive 262 or 263, 312 or 313, whichever is nearer the rate aimed at), and where a
// broadcast line total (858 or 864 at 13.5 MHz, its half at 6.75 MHz, its whole multiples at as
// many times 13.5 MHz) lies within CrtBroadcastReach of the total that the band's times give the
// picture, the line is that total at its exact clock: the sync keeps its time, the porches take
// the rest, and the blanking never falls below BT.601's (138 of 858 and 144 of 864 samples, in
// proportion for the others). Other widths keep 8-pixel porches at the line rate that the rate
// aimed at gives the broadcast total, kept inside the band's range (+-0.5 % of the figure).
// The `vga` preset's band takes its sync polarities from the lines the monitor draws: 350
// +hsync -vsync, 400 -hsync +vsync, every other count (480 among them) -hsync -vsync.
//
// Custom monitor text, bands separated by ';', each band fourteen comma-separated fields:
//   H kHz range, V Hz range, H front, sync, back (us), V front, sync, back (ms),
//   H polarity, V polarity (1 positive, 0 negative),
//   progressive lines min, max, interlaced lines min, max (0, 0 for none)
// Numbers and ranges read as formats/decimal.h reads them, every decimal kept (as near as a
// double holds it); a range may also be one figure. Accepted: H 14 to 540 kHz, V 40 to 200 Hz,
// every porch and sync above 0 and together shorter than a line (at the top H) or a frame (at the
// top V), at least 128 progressive lines within 1 to 65535, an interlaced range above 0 when
// given.
#pragma once

#include "formats/raster.h"

#include <cstddef>
#include <cstdint>

const double CrtPointTolerance = 0.005; // a single figure is taken as +-0.5 %
const double CrtBroadcastReach = 0.03;  // a broadcast line total within 3 % is taken
const size_t CrtMaxBands = 8;           // a monitor text of more bands is refused

// What a preset's band follows beyond its figures. A band of custom monitor text follows none
// (CrtPlain); a band given by a preset's name follows that preset's.
enum CrtStandard {
    CrtPlain = 0, // the figures and the stated polarities alone
    CrtNtsc,      // the broadcast rasters of 525 lines: 858 samples a line at 13.5 MHz
    CrtPal,       // of 625 lines: 864 samples a line at 13.5 MHz
    CrtVga,       // the polarities by the lines drawn
};

struct CrtBand {
    double hMinKHz, hMaxKHz, vMinHz, vMaxHz;
    double hFrontUs, hSyncUs, hBackUs;
    double vFrontMs, vSyncMs, vBackMs;
    int hSyncPositive, vSyncPositive;
    uint32_t progMin, progMax, interMin, interMax; // interMax 0: no interlaced modes
    CrtStandard standard;
};

struct CrtMonitor {
    CrtBand bands[CrtMaxBands];
    size_t count;
};

// Why a mode does not fit, as a line of text with its figures.
struct CrtReason {
    char text[256];
};

struct CrtPreset {
    const char* name;
    const char* text;  // the custom monitor text that gives its figures
    const char* about; // what monitor it is, for help
    CrtStandard standard;
};

// The presets, in the order help lists them; *count gets their number.
const CrtPreset* CrtPresets(size_t* count);

// The monitor of a preset name. 1 when the name is a preset; 0 otherwise.
int FindCrtPreset(const char* name, CrtMonitor* monitor);

// Reads `length` bytes of custom monitor text. 1 and the monitor; 0 (monitor untouched) with a
// reason (when not null) when a field does not read or a figure is outside the bounds.
int ParseCrtMonitor(const char* text, size_t length, CrtMonitor* monitor, const char** reason);

// What the caller asks: the picture and its refresh (Hz, decimals allowed), the card's lowest
// pixel clock in Hz (0: none).
struct CrtRequest {
    uint32_t width, height;
    double refreshHz;
    uint64_t minClockHz;
};

struct CrtFit {
    Raster raster;        // clock already in whole 10 kHz, at least the request's minClockHz
    size_t band;          // the band of the monitor used
    uint32_t widthFactor; // the width was multiplied by this for the lowest clock
    int broadcast;        // 1 when the line is a broadcast total at its exact clock
    double vRateHz;       // the rate aimed at: the refresh, a multiple of it, or a limit
    int atLimit;          // 1 when no multiple of the refresh is inside: a limit is taken
    double realRefreshHz; // from the rounded clock
    double hFreqKHz;      // from the rounded clock
};

// Fits one mode to a monitor: the vertical rate (the smallest multiple of the refresh inside
// the range, else the nearest limit), the scan (progressive, double-scan for too few lines,
// interlaced for lines only that range takes), the vertical total from the porch times with lines
// added until the horizontal frequency reaches the range (a TV standard's: its broadcast total),
// the horizontal porches in 8-pixel steps (or a broadcast line, above), the clock in 10 kHz.
// With a lowest clock, the width is made the fewest whole times wider that bring the stored,
// rounded clock to it. 1 and the fit; 0 with the reason naming the limit that stops it.
int FitCrtMode(const CrtMonitor& monitor, const CrtRequest& request, CrtFit* fit,
               CrtReason* reason);

// FitCrtMode for a game whose board gives its own vertical total: where a band takes that many
// lines progressive or double-scan at the refresh itself (not a multiple or a limit), that total
// is tried first, so that the line rate is the board's; otherwise as FitCrtMode. 0: no total.
int FitCrtBoardMode(const CrtMonitor& monitor, const CrtRequest& request, uint32_t boardTotal,
                    CrtFit* fit, CrtReason* reason);

// The vertical refresh of a raster as X counts it (doubled interlaced, halved double-scan), in
// Hz; 0 when a total is 0.
double CrtRasterRefresh(const Raster& raster);
