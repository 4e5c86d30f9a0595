// Timing calculators: a raster from width, height and refresh by the VESA Generalized Timing
// Formula (GTF) and the VESA Coordinated Video Timings (CVT), both progressive, without margins,
// counted as X modelines count them.
//
// GTF, default parameters: M = 600 %/kHz, C = 40 %, K = 128, J = 20 %, 8-pixel cells, 550 us of
// vertical sync and back porch at least, one line of front porch, three lines of sync, sync 8 %
// of the line; width rounded to the nearest cell (a half cell to the even one). Polarity -hsync
// +vsync. The pixel clock is given to 10 kHz, rounded as the X tool prints it.
//
// CVT normal blanking: 550 us of vertical sync and back porch at least, three lines of front
// porch, back porch at least six lines, sync 8 % of the line, duty cycle 30 - 300 x period (never
// below 20 %), clock in whole 250 kHz steps rounded down. Polarity -hsync +vsync.
// CVT reduced blanking: 160 pixels of blanking with 32 of sync and 80 of back porch, 460 us of
// vertical blanking at least, three lines of front porch, six of back porch, 250 kHz steps;
// only for refresh rates that are multiples of 60 Hz. Polarity +hsync -vsync.
// Both: width rounded up to a whole cell; vertical sync lines from the aspect ratio (4:3 4, 16:9
// 5, 16:10 6, 5:4 and 15:9 7, any other 10); and 1360 x 768 is given out as 1366 x 768 with
// its sync one pixel earlier, as the X tool does.
#pragma once

#include "formats/raster.h"

#include <cstdint>

// Accepted inputs: width and height 1 to 65535, refresh 1 to 1000 Hz.
const uint32_t CalcMaxSize = 65535;
const uint32_t CalcMaxRefresh = 1000;

// 1 and the raster; 0 (raster untouched, a reason in *reason when not null) for inputs outside
// the accepted ranges or when the formula yields no usable raster (tiny modes).
int ComputeGtfRaster(uint32_t width, uint32_t height, uint32_t refresh, Raster* raster,
                     const char** reason);

// As ComputeGtfRaster; reducedBlanking 1 for CVT reduced blanking, 0 for normal blanking.
int ComputeCvtRaster(uint32_t width, uint32_t height, uint32_t refresh, int reducedBlanking,
                     Raster* raster, const char** reason);
